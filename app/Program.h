#pragma once

#include <memory>

#include "core/ProcessValues.h"
#include "midi/MidiOutPort.h"
#include "settings/AccessSettings.h"
#include "ui/Main.h"

namespace faderwell {

class MidiOutService;
class PageOpener;
class Prompts;
class Registry;

/// What the program talks to outside itself.
struct Platform {
    MidiOutService& midi;
    Registry& registry;
    Prompts& prompts;
    PageOpener& opener;
    /// Where the output port's plain lines go (standard error); nowhere when unset.
    MidiOutPort::Notices notices{};
};

/// The program from start-up to its end: the settings variables, the output
/// port, the settings store and the three windows, created in their fixed
/// order and destroyed in the reverse one.
class Program {
public:
    static constexpr int kExitCode = 0;  // on every road out

    explicit Program(Platform platform);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();

    /// Start-up: the application title, then the main window and its creation
    /// handler (defaults and the settings load), the settings dialog and its
    /// creation handler (output, caption, speed, vendor, drum kit), and the
    /// about dialog and its creation handler. Everything stays hidden; a
    /// failure report or the output message may show on the way.
    void Start();

    /// The main loop: shows the main window and dispatches events until the
    /// window closes or the session ends. Returns the exit code.
    int Run();

    /// The session is ending: leave the loop at once, without closing the
    /// main window and without touching the output. During start-up, the
    /// rest of start-up is skipped. The application's quit request (the
    /// session manager's final one) comes here.
    void EndSession();

    Windows& Refs() { return windows_; }
    ProcessValues& Values() { return values_; }
    MidiOutPort& Port() { return port_; }

private:
    class QuitRequests;

    Platform platform_;
    std::unique_ptr<QuitRequests> quitRequests_;
    ProcessValues values_;
    MidiOutPort port_{platform_.midi, values_};
    SettingsStore settings_{platform_.registry, values_};
    Windows windows_;
    // In creation order, so that the last created goes first at the end.
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<Tconfig> config_;
    std::unique_ptr<Tversioninfo> versioninfo_;
};

}  // namespace faderwell
