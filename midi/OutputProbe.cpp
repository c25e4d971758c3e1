// Lists the MIDI outputs the way the settings dialog does, then tries the
// mapper and sends through it, as start-up does. Writes one line per list
// entry and a last line "mapper <result byte>" to the file named by its
// argument; prints nothing itself.
#include <fstream>

#include "core/Messages.h"
#include "core/ProcessValues.h"
#include "midi/MidiOutPort.h"
#include "midi/PlatformMidiOutService.h"

int main(int argc, char** argv) {
    using namespace faderwell;
    if (argc != 2)
        return 2;
    std::ofstream report(argv[1]);
    if (!report)
        return 2;

    const auto service = MakePlatformMidiOutService();
    ProcessValues values;
    MidiOutPort port(*service, values);
    port.BuildOutputList();
    for (const auto& entry : port.Entries()) report << entry << '\n';

    const int mapperResult = port.Pick(1);
    for (const ShortMessage word : DrumKitSelect(kVendorKorg)) port.SendShortMessage(word);
    port.SendShortMessage(HiHatTick());
    port.ResetAndClose();
    report << "mapper " << mapperResult << '\n';
    return report ? 0 : 2;
}
