// Faderwell Standard: a desktop mixer for the sixteen channels of a MIDI instrument.

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "app/Display.h"
#include "app/Program.h"
#include "app/TerminationSignals.h"
#include "midi/PlatformMidiOutService.h"
#include "settings/PlatformRegistry.h"
#include "ui/PageOpener.h"
#include "ui/Prompts.h"

int main(int argc, char* argv[]) {
    using namespace faderwell;
    if (!HasGraphicalDisplay([](const char* name) { return std::getenv(name); })) {
        std::cerr << NoDisplayMessage() << '\n';
        return kNoDisplayExitCode;
    }

    // The program takes no arguments, so Qt gets none to read (-style,
    // -reverse, -platform, ...); its environment variables still apply.
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
