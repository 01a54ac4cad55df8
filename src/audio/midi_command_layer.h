#pragma once
// The command strings of the MIDI player, understood and played through the mixer's
// synthesiser:
//   open <path> type sequencer alias <a> | close <a> | set <a> time format milliseconds
//   play <a> [from N] | stop <a> | pause <a> | resume <a> | seek <a> to N
//   status <a> position|length|mode   (mode: "stopped", "playing", "paused")
// Words are case-insensitive and may be followed by spaces. An unknown alias, a closed
// device or a malformed command gives a non-zero code and an empty reply.
// Positions follow the engine clock of the commands: a play at engine time t from N ms
// reports N + (now - t) until the song's end, then "stopped".
#include <cstdint>
#include <memory>
#include <string>

#include "audio/midi_device.h"
#include "audio/midi_song.h"

namespace jov {

class Mixer;

enum MidiError : int32_t {
    kMidiOk = 0,
    kMidiUnrecognized = 261,   // unknown command or keyword
    kMidiBadAlias = 263,       // no device open under that alias
    kMidiOpenFailed = 275,     // the file is missing or not a MIDI file
    kMidiOutOfRange = 282,     // position beyond the song
    kMidiBadNumber = 274,      // a number that is not a whole number
    kMidiAliasInUse = 289,
};

class MidiCommandLayer final : public MidiDevice {
public:
    // `mixer` renders the synthesiser; without one every command works but nothing sounds.
    explicit MidiCommandLayer(Mixer* mixer);
    int32_t SendString(const std::string& command, std::string& reply, double atMs) override;

    bool IsOpen() const { return song_ != nullptr; }
    const std::string& Alias() const { return alias_; }

private:
    enum class Mode { Stopped, Playing, Paused };

    int32_t Open(const std::string& rest);
    void Close(double atMs);
    double PositionAt(double atMs);
    void StartPlay(double fromMs, double atMs);
    void Halt(double atMs, Mode next);

    Mixer* mixer_;
    std::shared_ptr<const MidiSong> song_;
    std::string alias_;
    Mode mode_ = Mode::Stopped;
    double posMs_ = 0;       // the position while not playing
    double playFromMs_ = 0;  // while playing: started at engine time playAtMs_ from here
    double playAtMs_ = 0;
};

}  // namespace jov
