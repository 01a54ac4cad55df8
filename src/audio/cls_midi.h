#pragma once
// The chart's background-music player: every operation is one or two command
// strings sent to the sequencer under the alias "tmid" (see MidiDevice).
#include <cstdint>
#include <functional>
#include <string>

namespace jov {

class MidiDevice;
class Clock;

class clsMIDI {
public:
    // Sends "stop tmid " and "close tmid" (closes whatever is open under the alias).
    // Commands are stamped with clock->NowMs() when a clock is given.
    explicit clsMIDI(MidiDevice* device, Clock* clock = nullptr);
    ~clsMIDI();
    clsMIDI(const clsMIDI&) = delete;
    clsMIDI& operator=(const clsMIDI&) = delete;

    const std::string& FileName() const { return FileName_; }
    void SetFileName(const std::string& name);
    void Play(const std::string& start);
    void StopM();
    std::string Position();
    void SetPosition(const std::string& p);
    // Fails (nullopt semantics left to the caller) when the answer is not a number.
    bool Length(int32_t& out);
    void ResumeM();
    void PlayLoop();
    void Pause();
    std::string Mode();

    // Runs pending window events inside PlayLoop; without it PlayLoop returns after
    // starting the play (nothing could ever end its wait).
    std::function<void()> PumpEvents;

    std::string ShortName;
    std::string Reply;
    int32_t LastResult = 0;
    bool Looping = false;

private:
    int32_t Send(const std::string& command);
    std::string Query(const std::string& command);

    MidiDevice* device_;
    Clock* clock_;
    std::string FileName_;
};

}  // namespace jov
