// Faderwell Standard: a desktop mixer for the sixteen channels of a MIDI instrument.

#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "app/Display.h"
#include "app/Program.h"
#include "app/TerminationSignals.h"
#include "midi/PlatformMidiOutService.h"
#include "settings/PlatformRegistry.h"
#include "ui/PageOpener.h"
#include "ui/Prompts.h"

int main(int argc, char* argv[]) {
    using namespace faderwell;
    // Answered before any display or MIDI system is touched, so that both
    // work on a server or in a package's build.
    const CommandLine commandLine =
        ReadCommandLine(std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
    switch (commandLine.request) {
        case CommandLine::Request::kHelp:
            std::cout << UsageText() << std::flush;
            return std::cout ? EXIT_SUCCESS : EXIT_FAILURE;
        case CommandLine::Request::kVersion:
            std::cout << VersionText() << std::flush;
            return std::cout ? EXIT_SUCCESS : EXIT_FAILURE;
        case CommandLine::Request::kStart:
            break;
    }
    if (!commandLine.ignored.empty())
        std::cerr << IgnoredLine(commandLine.ignored) << '\n';

    if (!HasGraphicalDisplay([](const char* name) { return std::getenv(name); })) {
        std::cerr << NoDisplayMessage() << '\n';
        return kNoDisplayExitCode;
    }

    // Qt gets none of the arguments to read (-style, -reverse, -platform,
    // ...); its environment variables still apply.
    static char programName[] = "faderwell";
    char* qtArguments[] = {argc > 0 ? argv[0] : programName, nullptr};
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, qtArguments);
    const auto midi = MakePlatformMidiOutService();
    const auto registry = MakePlatformRegistry();
    QtPrompts prompts;
    DesktopPageOpener opener;

    // Where MIDI goes, and why it goes nowhere, for whoever started the
    // program from a terminal; the windows say nothing of it. One write a
    // line: the MIDI output may say its lines from a thread of its own.
    const auto toStandardError = [](std::string_view line) {
        std::cerr << (std::string(line) + '\n') << std::flush;
    };
    Program program(Platform{*midi, *registry, prompts, opener, toStandardError});
    // The session or a service manager ending the program: leave at once.
    const TerminationSignals termination([&program] { program.EndSession(); });
    program.Start();
    return program.Run();
}
