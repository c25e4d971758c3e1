#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace faderwell {

/// Turns the signals by which a session or a service manager ends the
/// program (SIGTERM, SIGHUP, and SIGINT from a terminal) into a call on the
/// user-interface thread, through a pipe the signal handler writes to.
/// One instance per process.
class TerminationSignals final : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_{nullptr};
};

}  // namespace faderwell
