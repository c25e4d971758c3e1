#include "JackReceiver.h"

namespace faderwell::test {

namespace {
constexpr std::chrono::seconds kQuitDeadline{10};

std::vector<std::string> ReceiverCommand(const std::string& client, JackReceiver::Lines lines,
                                         JackReceiver::Kind kind) {
    std::vector<std::string> command{kind == JackReceiver::Kind::kJackClient
                                         ? FADERWELL_JACK_RECEIVER
                                         : FADERWELL_PIPEWIRE_RECEIVER,
                                     client};
    if (lines == JackReceiver::Lines::kFrames)
        command.emplace_back("frames");
    return command;
}
}  // namespace

JackReceiver::JackReceiver(const std::string& client, std::vector<std::string> environment,
                           Lines lines, Kind kind)
    : process_(ReceiverCommand(client, lines, kind), ChildOptions{std::move(environment)}) {
    ready_ = process_.ReadLine(kMessageDeadline) == std::optional<std::string>("ready");
}

std::vector<std::string> JackReceiver::Take(std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
        auto line = process_.ReadLine(kMessageDeadline);
        if (!line)
            break;
        lines.push_back(std::move(*line));
    }
    return lines;
}

std::vector<std::string> JackReceiver::Received(std::chrono::milliseconds quiet) {
    std::vector<std::string> lines;
    while (auto line = process_.ReadLine(quiet)) lines.push_back(std::move(*line));
    return lines;
}

std::optional<int> JackReceiver::Quit() {
    return process_.CloseInputAndWait(kQuitDeadline);
}

}  // namespace faderwell::test
