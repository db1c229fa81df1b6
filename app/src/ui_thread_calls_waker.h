// The QObject that wakes the UI thread for UiThreadCalls.
#pragma once

#include <memory>

#include <QObject>

#include "quorvane/app/ui_thread_calls.h"

namespace quorvane {

class UiThreadWaker : public QObject {
  Q_OBJECT
 public:
  explicit UiThreadWaker(std::weak_ptr<UiThreadCalls> owner) : owner_(std::move(owner)) {}
  Q_INVOKABLE void Wake() {
    if (const std::shared_ptr<UiThreadCalls> owner = owner_.lock()) owner->RunQueued();
  }

 private:
  const std::weak_ptr<UiThreadCalls> owner_;
};

}  // namespace quorvane
