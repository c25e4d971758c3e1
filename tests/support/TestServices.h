#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace faderwell::test {

/// The name of a JACK server (or PipeWire instance) of the tests': `role`
/// and a tag of the build tree, so that two trees never share one and the
/// same tree always reuses its own. The name stays the same from run to run:
/// JACK has room for few servers, and a server of the same name takes over
/// the slot a crashed one left.
std::string TestServerName(const std::string& role);

/// Ends every JACK server, PipeWire instance and receiver of this build
/// tree's tests that is still running (what a test killed by its time-out may leave);
/// returns how many there were.
int EndLeftoverServices();

/// How long a service is given to answer once started. Room for a machine
/// busy with builds: an idle one needs well under a second.
inline constexpr std::chrono::seconds kServiceStartDeadline{30};

struct JackServerOptions {
    std::string name;
    int period{256};  // frames
    int rate{48000};
    /// Real-time scheduling, as JACK normally runs; the tests run without it
    /// (it needs privileges CI may not have), the bench with it.
    bool realtime{false};
};

/// What every service of a test shares: the one process it runs, and why
/// it could not start. Stopped at destruction.
class ServiceProcess {
public:
    ServiceProcess() = default;
    ~ServiceProcess() { Stop(); }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    /// SIGTERM, and SIGKILL after a grace period: a server says goodbye to
    /// its clients and frees its slot.
    void Stop();
    /// SIGKILL, as a crash or `kill -9` ends it: no goodbye; the clients
    /// learn it from the closed sockets.
    void Kill();
    /// Leaves the process running beyond this object; its PID.
    pid_t Release();

    bool Running() { return process_ && process_->Running(); }
    pid_t Pid() const { return process_ ? process_->Pid() : -1; }
    const std::string& Error() const { return error_; }

protected:
    std::unique_ptr<ChildProcess> process_;
    std::string error_;
};

/// A JACK server of the test's own: dummy driver (no sound card), and
/// synchronous, so that a late cycle on a busy machine delays MIDI words
/// but never drops or repeats them. Stopped at destruction.
class JackServer : public ServiceProcess {
public:
    explicit JackServer(JackServerOptions options);

    /// Starts the server and waits until a client can open on it. A server
    /// of the same name left by an earlier run is ended first; one that
    /// cannot be ended, or a server that does not answer by the deadline,
    /// is a failure, with the reason in Error().
    bool Start(bool endsWithParent = true);

    const std::string& Name() const { return options_.name; }
    std::string LogFile() const;

private:
    JackServerOptions options_;
};

/// A PipeWire instance of the test's own, with a runtime directory of its
/// own; JACK clients reach it through PipeWire's libjack (ClientEnvironment).
/// Stopped at destruction.
class PipeWireInstance : public ServiceProcess {
public:
    /// Where PipeWire's libjack lives on Debian.
    static constexpr const char* kJackLibraryDir = "/usr/lib/x86_64-linux-gnu/pipewire-0.3/jack";

    explicit PipeWireInstance(std::string name);

    /// As JackServer::Start: ends a stale instance of the same name, then
    /// waits until a JACK client can open on it.
    bool Start(bool endsWithParent = true);

    /// What a JACK client needs in its environment to use this instance
    /// ("NAME=value"): PipeWire's libjack and the runtime directory.
    std::vector<std::string> ClientEnvironment() const;
    const std::string& RuntimeDir() const { return runtimeDir_; }

private:
    std::string name_;
    std::string runtimeDir_;
};

/// A headless Weston compositor of the test's own, with a runtime directory
/// of its own; Wayland clients reach it with ClientEnvironment(). Stopped
/// at destruction.
class WestonCompositor : public ServiceProcess {
public:
    explicit WestonCompositor(std::string name);

    /// As JackServer::Start: ends a stale compositor of the same name, then
    /// waits until its socket takes connections.
    bool Start();

    /// "NAME=value" entries: the runtime directory and the display.
    std::vector<std::string> ClientEnvironment() const;

private:
    std::string name_;
    std::string runtimeDir_;
};

/// A D-Bus session bus of the test's own, as dbus-run-session gives one.
/// What the bus starts on demand (the accessibility bus and its registry)
/// ends when it goes; it runs with the bus's environment, so give the bus a
/// runtime directory of its own (XDG_RUNTIME_DIR), where the accessibility
/// bus puts its socket. Stopped at destruction.
class SessionBus : public ServiceProcess {
public:
    /// `environment`: "NAME=value" entries over this process's own.
    bool Start(const std::vector<std::string>& environment);

    /// "DBUS_SESSION_BUS_ADDRESS=..." for its clients.
    std::vector<std::string> ClientEnvironment() const;

private:
    std::string address_;
};

/// Sets an environment variable while it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

/// Every JACK client of this process under the server name `name`, and no
/// server started behind the test's back.
class UseJackServer {
public:
    explicit UseJackServer(const std::string& name) : name_("JACK_DEFAULT_SERVER", name) {}

private:
    ScopedEnvironment name_;
    ScopedEnvironment noStart_{"JACK_NO_START_SERVER", "1"};
};

}  // namespace faderwell::test
