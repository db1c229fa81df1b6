#include "quorvane/app/ui_thread_calls.h"

#include <algorithm>

#include <QMetaObject>

#include "ui_thread_calls_waker.h"

namespace quorvane {

UiThreadCalls::UiThreadCalls() : uiThread_(std::this_thread::get_id()) {}

std::shared_ptr<UiThreadCalls> UiThreadCalls::Create() {
  std::shared_ptr<UiThreadCalls> calls(new UiThreadCalls());
  calls->waker_ = new UiThreadWaker(calls);
  return calls;
}

UiThreadCalls::~UiThreadCalls() {
  if (waker_ == nullptr) return;
  // The last owner may be a worker: a QObject is deleted on its own thread.
  if (IsUiThread()) {
    delete waker_;
  } else {
    waker_->deleteLater();
  }
}

bool UiThreadCalls::Run(const std::function<void()>& call) {
  if (IsUiThread()) {
    if (closed_) return false;
    call();
    return true;
  }
  Request request{&call};
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  queue_.push_back(&request);
  // Under the mutex, so Close() cannot delete the waker meanwhile. The queued call carries no
  // data: the request travels through queue_.
  QMetaObject::invokeMethod(waker_, "Wake", Qt::QueuedConnection);
  settled_.wait(lock,
                [&] { return request.stage == Stage::kDone || request.stage == Stage::kDropped; });
  return request.stage == Stage::kDone;
}

void UiThreadCalls::RunQueued() {
  for (;;) {
    Request* request;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || closed_) return;
      request = queue_.front();
      queue_.pop_front();
      request->stage = Stage::kRunning;
    }
    (*request->call)();  // may open a nested event loop (a modal box) that runs more requests
    {
      std::lock_guard lock(mutex_);
      request->stage = Stage::kDone;
    }
    settled_.notify_all();
  }
}

void UiThreadCalls::Close() {
  UiThreadWaker* waker;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    for (Request* request : queue_) request->stage = Stage::kDropped;
    queue_.clear();
    waker = waker_;
    waker_ = nullptr;
  }
  settled_.notify_all();
  delete waker;  // also drops its wake-up calls still queued
}

}  // namespace quorvane
