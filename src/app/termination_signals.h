// SIGINT and SIGTERM as a Qt signal: the handler only writes one byte into a socket pair, and the
// event loop turns it into terminationRequested(), where it is safe to close windows.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarnwick {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers for SIGINT and SIGTERM. One instance per process; a second one, or a
  // failure to create the socket pair, leaves the signals with their default action (ok() false).
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  bool ok() const { return notifier_ != nullptr; }

 signals:
  void terminationRequested();

 private:
  void Drain();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarnwick
