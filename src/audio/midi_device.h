#pragma once
// The stand-in for the multimedia command-string interface: it understands the
// command strings the MIDI player sends (open/close/play/stop/seek/status ... under
// an alias) and plays the file through the synthesiser.
#include <cstdint>
#include <string>

namespace jov {

class MidiDevice {
public:
    virtual ~MidiDevice() = default;
    // Runs one command string. Returns 0 on success, a non-zero error code otherwise;
    // `reply` receives the answer of a status query ("" otherwise). `atMs` is the engine
    // clock time the command takes effect at (play, stop, seek land on that sample).
    virtual int32_t SendString(const std::string& command, std::string& reply, double atMs) = 0;
};

}  // namespace jov
