#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace faderwell {

/// Ends the program through a call on the user-interface thread when the
/// session or a service manager asks it to leave by a means Qt does not turn
/// into a quit request of its own. Each platform's source says what it
/// watches. One instance per process.
class TerminationSignals final : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    std::function<void()> onSignal_;
    /// What watches for the request on this platform; none where nothing needs watching.
    std::unique_ptr<QObject> watcher_;
};

}  // namespace faderwell
