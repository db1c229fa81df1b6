// UiThreadCalls: runs a function on the UI thread and waits for it, from any thread; on the UI
// thread itself the function runs at once (no self-deadlock). Requests are handed over under a
// mutex of ours and the UI thread is woken by a queued call that carries no data, so every
// hand-over is visible to ThreadSanitizer.
//
// Close() (UI thread, when the window goes away) refuses later calls and releases callers whose
// request has not started, so no worker waits forever on a window that is gone. A request
// running when Close() comes still finishes.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvane {

class UiThreadWaker;

class UiThreadCalls {
 public:
  // Call on the UI thread: the thread whose event loop carries the requests out.
  static std::shared_ptr<UiThreadCalls> Create();
  ~UiThreadCalls();
  UiThreadCalls(const UiThreadCalls&) = delete;
  UiThreadCalls& operator=(const UiThreadCalls&) = delete;

  // True when call ran; false when it was refused or dropped after Close().
  bool Run(const std::function<void()>& call);
  // UI thread only.
  void Close();
  bool IsUiThread() const { return std::this_thread::get_id() == uiThread_; }

 private:
  friend class UiThreadWaker;
  enum class Stage { kQueued, kRunning, kDone, kDropped };
  struct Request {
    const std::function<void()>* call;
    Stage stage = Stage::kQueued;
  };

  UiThreadCalls();
  void RunQueued();  // UI thread, woken by Waker

  const std::thread::id uiThread_;
  std::mutex mutex_;
  std::condition_variable settled_;
  std::deque<Request*> queue_;
  bool closed_ = false;
  UiThreadWaker* waker_ = nullptr;  // lives on the UI thread; deleted by Close()
};

}  // namespace quorvane
