// An allocator whose failure ends the program through FatalError with the
// message "分配 %d 字节内存失败!" (the byte count in place of %d), so that the
// value types never throw std::bad_alloc across a module boundary.
#pragma once

#include <cstddef>
#include <new>

namespace quorvane {

[[noreturn]] void FatalAllocationFailure(std::size_t bytes);

template <typename T>
struct FatalOnFailureAllocator {
  using value_type = T;

  FatalOnFailureAllocator() noexcept = default;
  template <typename U>
  FatalOnFailureAllocator(const FatalOnFailureAllocator<U>&) noexcept {}  // NOLINT

  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) FatalAllocationFailure(bytes);
    void* memory = ::operator new(bytes, std::nothrow);
    if (memory == nullptr) FatalAllocationFailure(bytes);
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, std::size_t) noexcept { ::operator delete(memory); }

  template <typename U>
  bool operator==(const FatalOnFailureAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace quorvane
