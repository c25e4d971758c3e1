#include "bench/MidiRoute.h"

#include "midi/linux/LinuxMidiOutService.h"

namespace faderwell::bench {

std::unique_ptr<MidiOutService> MakeRoutedMidiOutService(const std::string& route) {
    using Use = LinuxMidiOutService::PipeWireUse;
    if (route.empty() || route == "native")
        return std::make_unique<LinuxMidiOutService>(Use::kWhenItAnswers);
    if (route == "jack")
        return std::make_unique<LinuxMidiOutService>(Use::kNever);
    return nullptr;
}

}  // namespace faderwell::bench
