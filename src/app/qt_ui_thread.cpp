#include "qt_ui_thread.h"

#include <QMetaObject>
#include <utility>

namespace tarnwick {

QtUiThread::QtUiThread() : gate_(std::make_shared<Gate>()), receiver_(std::make_unique<QObject>()) {
  gate_->receiver = receiver_.get();
}

QtUiThread::~QtUiThread() {
  const std::lock_guard<std::mutex> lock(gate_->mutex);
  gate_->receiver = nullptr;
  // Deleting the receiver drops the events still queued for it.
  receiver_.reset();
}

PostToUiThread QtUiThread::Poster() const {
  return [gate = gate_](std::function<void()> work) {
    const std::lock_guard<std::mutex> lock(gate->mutex);
    if (gate->receiver == nullptr) return;
    QMetaObject::invokeMethod(
        gate->receiver,
        [gate, work = std::move(work)] {
          work();
          if (gate->afterWork) gate->afterWork();
        },
        Qt::QueuedConnection);
  };
}

void QtUiThread::SetAfterWork(std::function<void()> hook) {
  gate_->afterWork = std::move(hook);
}

}  // namespace tarnwick
