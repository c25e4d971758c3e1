#pragma once

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <vector>

#include "UiDoubles.h"
#include "core/Defaults.h"
#include "core/Doubles.h"
#include "midi/MidiOutPort.h"
#include "midi/memory/InMemoryMidiOutService.h"
#include "settings/AccessSettings.h"
#include "settings/memory/InMemoryRegistry.h"
#include "ui/Main.h"

namespace faderwell::test {

/// The real main window, shown, over an in-memory output that is open on the
/// mapper so that every word reaches it.
class MainWindowTest : public testing::Test {
protected:
    InMemoryMidiOutService midi;
    InMemoryRegistry registry;
    RecordingPrompts prompts;
    ProcessValues values{Defaults::Values()};
    MidiOutPort port{midi, values};
    SettingsStore settings{registry, values};
    Windows windows;
    TForm1 form{windows, port, settings, values, prompts};

    void SetUp() override {
        windows.Form1 = &form;
        midi.devices = {"Test Synth"};
        port.BuildOutputList();
        port.OpenMidiPort();
        midi.calls.clear();
        form.ShowCentred();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    /// The words delivered since the last call.
    std::vector<ShortMessage> Take() {
        auto words = std::move(midi.delivered);
        midi.delivered.clear();
        midi.deliveredDue.clear();
        return words;
    }

    static void Click(QWidget* widget, QPoint at = {}) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                          at.isNull() ? widget->rect().center() : at);
    }
};

}  // namespace faderwell::test
