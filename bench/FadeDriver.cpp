// Runs one whole fade in the real program: the program's own start-up, main
// window, fade timer and MIDI backend, with the settings a user would have
// stored (the chosen output and speed step), and the user's two clicks on
// the window's DRUM box and start button. Quits once the fade has ended.
//
//   fade_driver --speed STEP --device NAME [--lateness FILE] [--route native|jack]
//
// NAME is the output to open, as the settings dialog lists it; --route picks
// the output as bench/MidiRoute.h says. The DRUM click
// sends the drum-kit selection just before the start click, which marks on
// the wire the moment the fade was started. Exits 1 when the output cannot
// be opened, a failure is reported, or the fade does not end in time.
//
// With --lateness, it also writes how late each tick's master change ran
// against the ideal schedule (start click + n x interval), in microseconds,
// one line per tick: the timer's own accuracy, before any MIDI transport.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "app/Program.h"
#include "bench/MidiRoute.h"
#include "core/OutputList.h"
#include "settings/memory/InMemoryRegistry.h"
#include "ui/PageOpener.h"
#include "ui/Prompts.h"

namespace {

using namespace faderwell;

constexpr int kSettleMilliseconds = 500;  // the window shown and idle before the clicks
constexpr int kDrainMilliseconds = 200;   // the last tick's words through JACK

/// No message box may stop the run: every prompt is a failure of the run.
class FailingPrompts final : public Prompts {
public:
    void FailureReport(const QString& text) override { Fail(text); }
    void Message(const QString& text) override { Fail(text); }
    bool failed{false};

private:
    void Fail(const QString& text) {
        std::fprintf(stderr, "the program reported: %s\n", text.toUtf8().constData());
        failed = true;
        QCoreApplication::exit(1);
    }
};

class NoPageOpener final : public PageOpener {
public:
    void Open(const QUrl&) override {}
};

std::uint8_t Byte(int value) {
    return static_cast<std::uint8_t>(value);
}

std::int64_t MonotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char* argv[]) {
    int speed = 0;
    std::string device;
    std::string latenessFile;
    std::string route;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--speed")
            speed = std::atoi(argv[i + 1]);
        else if (option == "--device")
            device = argv[i + 1];
        else if (option == "--lateness")
            latenessFile = argv[i + 1];
        else if (option == "--route")
            route = argv[i + 1];
    }
    const auto midi = bench::MakeRoutedMidiOutService(route);
    if (speed < 1 || speed > 5 || device.empty() || midi == nullptr) {
        std::fprintf(stderr, "usage: %s --speed 1..5 --device NAME [--route native|jack]\n",
                     argv[0]);
        return 2;
    }

    QApplication application(argc, argv);
    int index = -1;
    const unsigned count = midi->DeviceCount();
    for (unsigned d = 0; d < count; ++d) {
        if (midi->DeviceName(d) == device)
            index = int(d);
    }
    if (index < 0) {
        std::fprintf(stderr, "no MIDI output named %s among %u\n", device.c_str(), count);
        return 1;
    }

    // The settings as stored after the user chose the output and the speed.
    InMemoryRegistry registry;
    registry.values["MIDI_OUT"] = {regtype::kBinary, {Byte(OutputList::kFirstDevice + index)}};
    registry.values["SPEED"] = {regtype::kBinary, {Byte(speed)}};
    registry.values["VENDOR"] = {regtype::kBinary, {Byte(kVendorKorg)}};
    FailingPrompts prompts;
    NoPageOpener opener;

    Program program(Platform{*midi, registry, prompts, opener});
    program.Start();
    if (prompts.failed)
        return 1;
    TForm1& window = *program.Refs().Form1;
    Mixer& mixer = window.Model();

    // The master moves on every tick of this fade, after the tick's hi-hat.
    std::vector<std::int64_t> tickTimes;
    tickTimes.reserve(256);
    std::int64_t startTime = 0;
    mixer.MVol.Subscribe([&] { tickTimes.push_back(MonotonicMicroseconds()); });

    bool started = false;
    bool ended = false;
    mixer.StartB.Subscribe([&] {
        // The start button comes back when the last tick has been handled.
        if (started && !ended && mixer.StartB.Enabled()) {
            ended = true;
            QTimer::singleShot(kDrainMilliseconds, [] { QCoreApplication::exit(0); });
        }
    });
    QTimer::singleShot(kSettleMilliseconds, [&] {
        window.DrumSw->click();
        started = true;
        startTime = MonotonicMicroseconds();
        window.StartB->click();
        if (!mixer.Fading()) {
            std::fprintf(stderr, "the fade did not start\n");
            QCoreApplication::exit(1);
        }
    });
    const int limit = 2 * 127 * window.Timer1.Interval() + 5000;
    QTimer::singleShot(kSettleMilliseconds + limit, [] {
        std::fprintf(stderr, "the fade did not end in time\n");
        QCoreApplication::exit(1);
    });

    const int status = program.Run();
    if (prompts.failed || !ended)
        return 1;
    if (!latenessFile.empty()) {
        std::ofstream out(latenessFile);
        const std::int64_t interval = std::int64_t{window.Timer1.Interval()} * 1000;
        for (std::size_t tick = 0; tick < tickTimes.size(); ++tick)
            out << tickTimes[tick] - startTime - std::int64_t(tick + 1) * interval << '\n';
        if (!out)
            return 1;
    }
    return status;
}
