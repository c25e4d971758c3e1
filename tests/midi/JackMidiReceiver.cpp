// A JACK MIDI client that stands as a device in the end-to-end tests: it
// registers one MIDI input "<client>:in", prints "ready" once the port is
// there, then one line of hexadecimal bytes per message received, and quits
// when its standard input closes.
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
void PrintMessage(double, std::vector<unsigned char>* message, void*) {
    std::string line;
    char hex[4];
    for (const unsigned char byte : *message) {
        std::snprintf(hex, sizeof hex, "%s%02X", line.empty() ? "" : " ", byte);
        line += hex;
    }
    line += '\n';
    // Straight to the descriptor: the test reads each line as it comes.
    if (write(STDOUT_FILENO, line.data(), line.size()) < 0)
        return;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    RtMidiIn in(RtMidi::UNIX_JACK, argv[1]);
    in.setCallback(&PrintMessage);
    in.openVirtualPort("in");
    const std::string ready = "ready\n";
    if (write(STDOUT_FILENO, ready.data(), ready.size()) < 0)
        return 1;
    char byte = 0;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return 0;
}
