#pragma once
// The MIDI background's synthesiser on the mixer's side: plays a song from a given
// millisecond, placing each event on its output frame. Everything but construction
// runs on the thread that pulls the mixer.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio/midi_song.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace jov {

// The General MIDI SoundFont to use: FluidR3_GM first, then TimGM6mb, then any other
// SoundFont in the usual folders.
std::optional<std::string> FindSoundFont();

class MidiSynth {
public:
    // An empty `soundFont` (or one that does not load) gives a silent synthesiser that
    // still follows the commands.
    MidiSynth(int32_t rate, const std::string& soundFont);
    ~MidiSynth();
    MidiSynth(const MidiSynth&) = delete;
    MidiSynth& operator=(const MidiSynth&) = delete;

    bool HasSoundFont() const { return synth_ != nullptr; }
    // Whether the synthesiser can run at `rate` frames per second (its own range).
    static bool SupportsRate(int32_t rate, double* lowest = nullptr, double* highest = nullptr);

    // Starts `song` at `fromMs` on output frame `startFrame`. A start frame before
    // `nowFrame` is late: the song starts at nowFrame from the matching later point.
    void Play(std::shared_ptr<const MidiSong> song, double fromMs, double startFrame, int64_t nowFrame);
    void Stop();
    // Stops and fades everything still sounding to silence over `frames` frames.
    void FadeOut(int frames);
    // Stops and lets go of the song.
    void Close();
    // Frame of the next event still to send; INT64_MAX when there is none.
    int64_t NextEventFrame() const;
    // Sends every event whose frame is at or before `frame`.
    void DispatchDue(int64_t frame);
    // Adds `n` frames of the synthesiser's output to left/right (scratch must hold n each).
    void RenderAdd(float* left, float* right, float* scratchL, float* scratchR, int n);
    // True while anything can still sound.
    bool Active() const;

private:
    void Send(const MidiEvent& ev);
    int64_t EventFrame(const MidiEvent& ev) const;

    int32_t rate_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    std::shared_ptr<const MidiSong> song_;
    bool playing_ = false;
    std::size_t cursor_ = 0;
    double fromMs_ = 0;
    double startFrame_ = 0;
    bool tails_ = false;  // notes may still be releasing after a stop or the song's end
    int64_t quietFrames_ = 0;
    int fadeLeft_ = 0, fadeFrames_ = 0;
};

}  // namespace jov
