#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "UiDoubles.h"
#include "app/Program.h"
#include "midi/memory/InMemoryMidiOutService.h"
#include "settings/memory/InMemoryRegistry.h"
#include "ui/Sub1.h"
#include "ui/about.h"

namespace faderwell::test {

/// The whole program over in-memory MIDI and settings, recording message
/// boxes and a browser that never starts.
class ProgramTest : public testing::Test {
protected:
    InMemoryMidiOutService midi;
    InMemoryRegistry registry;
    RecordingPrompts prompts;
    RecordingPageOpener opener;
    std::vector<std::string> said;  // the lines for standard error
    std::unique_ptr<Program> program;

    void SetUp() override { midi.devices = {"Test Synth"}; }

    void Store(const char* name, std::uint8_t byte, std::uint32_t type = regtype::kBinary) {
        registry.values[name] = InMemoryRegistry::Value{type, {byte}};
    }

    void StoreName(const std::string& name) {
        InMemoryRegistry::Value value{regtype::kSz, {name.begin(), name.end()}};
        value.bytes.push_back(0);
        registry.values["MIDI_OUT_NAME"] = value;
    }

    void Start() {
        program = std::make_unique<Program>(
            Platform{midi, registry, prompts, opener,
                     [this](std::string_view line) { said.emplace_back(line); }});
        prompts.mainWindowVisible = [this] {
            return program->Refs().Form1 != nullptr && program->Refs().Form1->isVisible();
        };
        program->Start();
    }

    TForm1& Form1() { return *program->Refs().Form1; }
    Tconfig& Config() { return *program->Refs().config; }
    Tversioninfo& About() { return *program->Refs().versioninfo; }

    /// What the session manager's last word to the program turns into.
    static void SessionManagerQuits() {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
    }

    static std::vector<ShortMessage> Kit(int vendor) {
        const auto words = DrumKitSelect(vendor);
        return {words.begin(), words.end()};
    }
};

}  // namespace faderwell::test
