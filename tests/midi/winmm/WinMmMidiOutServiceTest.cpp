// The WinMM backend against the system's own multimedia functions: the list
// as the system reports it, opens with the system's result codes, and the
// reset, close and send that every open and the exit command make whether or
// not an output is open.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <string>

#include "core/Defaults.h"
#include "core/Messages.h"
#include "midi/MidiOutPort.h"
#include "midi/winmm/AnsiText.h"
#include "midi/winmm/ProductName.h"
#include "midi/winmm/WinMmMidiOutService.h"

namespace faderwell::test {
namespace {

TEST(WinMmMidiOutService, ListsTheDevicesTheSystemReportsByTheirNamesInUtf8) {
    WinMmMidiOutService service;
    const unsigned count = service.DeviceCount();
    EXPECT_EQ(count, midiOutGetNumDevs());
    std::string last;
    for (unsigned device = 0; device < count; ++device) {
        MIDIOUTCAPSA caps{};
        ASSERT_EQ(midiOutGetDevCapsA(device, &caps, sizeof caps), MMSYSERR_NOERROR);
        last = service.DeviceName(device);
        EXPECT_EQ(last, AnsiToUtf8(ProductName(caps.szPname), CP_ACP));
    }
    // A device the system does not have: the record keeps the name it held.
    EXPECT_EQ(service.DeviceName(count), last);
}

TEST(WinMmMidiOutService, OpensWithTheSystemsCodesAndIsHarmlessWithoutAnOutput) {
    WinMmMidiOutService service;
    ProcessValues values{Defaults::Values()};
    MidiOutPort port(service, values);
    port.BuildOutputList();

    // Nothing opened yet: the null handle.
    port.SendShortMessage(HiHatTick());
    port.ResetAndClose();

    const int beyondTheList = static_cast<int>(port.DeviceCount()) + 2;
    EXPECT_EQ(port.Pick(beyondTheList), MMSYSERR_BADDEVICEID);
    // After the failed open, twice over.
    for (int round = 0; round < 2; ++round) {
        port.SendShortMessage(ChannelVolumeMessage(1, 7, 100));
        port.ResetAndClose();
    }

    const std::uint8_t mapper = port.Pick(1);
    if (port.DeviceCount() == 0) {
        // Wine's mapper has nothing to map to.
        EXPECT_EQ(mapper, MIDIERR_INVALIDSETUP);
    } else {
        EXPECT_EQ(mapper, MMSYSERR_NOERROR);
        EXPECT_EQ(port.Caption(), "Faderwell Standard [MIDI MAPPER]");
        port.SendShortMessage(HiHatTick());
    }
    port.ResetAndClose();
    port.SendShortMessage(HiHatTick());  // after the close
    EXPECT_EQ(port.Pick(0), 0);
}

struct AnsiCase {
    const char* label;
    unsigned codePage;
    std::string bytes;
    std::string utf8;
};

TEST(AnsiToUtf8, DecodesTheCodePageTheNameCameIn) {
    const AnsiCase cases[] = {
        {"Japanese", 932,
         "\x83\x84\x83\x7D\x83\x6E\x89\xB9\x8C\xB9 \x82\x6C\x82\x68\x82\x63\x82\x68",
         "ヤマハ音源 ＭＩＤＩ"},
        {"Western", 1252, "Synth \xE9t\xE9", "Synth été"},
        {"unknown code page", 12345, "Synth \xE9", "Synth \xE9"},
    };
    for (const AnsiCase& c : cases) {
        EXPECT_EQ(AnsiToUtf8(c.bytes, c.codePage), c.utf8) << c.label;
    }
}

}  // namespace
}  // namespace faderwell::test
