#include "audio/midi_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace jov {
namespace {

// The synthesiser's own default (0.2) leaves General MIDI pieces some 15 LU under
// typical key sounds; this brings them level (calibrated on the two corpus MIDI pieces,
// -31.5 and -35.3 LUFS before, against the key-sound demo charts at about -16 LUFS).
constexpr double kSynthGain = 1.2;

}  // namespace

std::optional<std::string> FindSoundFont() {
    namespace fs = std::filesystem;
    std::vector<fs::path> dirs = {"/usr/share/sounds/sf2", "/usr/share/soundfonts", "/usr/share/sounds/sf3",
                                  "/usr/local/share/soundfonts"};
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && *xdg)
        dirs.emplace_back(fs::path(xdg) / "soundfonts");
    else if (home && *home)
        dirs.emplace_back(fs::path(home) / ".local/share/soundfonts");
    std::error_code ec;
    for (const char* name : {"FluidR3_GM.sf2", "FluidR3_GM.sf3", "TimGM6mb.sf2"}) {
        for (const auto& d : dirs) {
            fs::path p = d / name;
            if (fs::is_regular_file(p, ec)) return p.string();
        }
    }
    for (const auto& d : dirs) {
        std::vector<std::string> found;
        for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec)) {
            std::string ext = it->path().extension().string();
            if ((ext == ".sf2" || ext == ".sf3" || ext == ".SF2") && fs::is_regular_file(it->path(), ec))
                found.push_back(it->path().string());
        }
        if (!found.empty()) {
            std::sort(found.begin(), found.end());
            return found.front();
        }
    }
    return std::nullopt;
}

MidiSynth::MidiSynth(int32_t rate, const std::string& soundFont) : rate_(rate) {
    if (soundFont.empty()) return;
    settings_ = new_fluid_settings();
    if (!settings_) return;
    fluid_settings_setnum(settings_, "synth.sample-rate", double(rate));
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setnum(settings_, "synth.gain", kSynthGain);
    fluid_settings_setint(settings_, "synth.threadsafe-api", 1);
    synth_ = new_fluid_synth(settings_);
    if (synth_ && fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(synth_);
        synth_ = nullptr;
    }
}

bool MidiSynth::SupportsRate(int32_t rate, double* lowest, double* highest) {
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) return false;
    double lo = 0, hi = 0;
    const bool known = fluid_settings_getnum_range(settings, "synth.sample-rate", &lo, &hi) == FLUID_OK;
    delete_fluid_settings(settings);
    if (lowest) *lowest = lo;
    if (highest) *highest = hi;
    return known && rate >= lo && rate <= hi;
}

MidiSynth::~MidiSynth() {
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

void MidiSynth::Send(const MidiEvent& ev) {
    if (!synth_) return;
    int ch = ev.status & 0x0F;
    switch (ev.status & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth_, ch, ev.data1); break;
        case 0x90:
            if (ev.data2 == 0)
                fluid_synth_noteoff(synth_, ch, ev.data1);
            else
                fluid_synth_noteon(synth_, ch, ev.data1, ev.data2);
            break;
        case 0xA0: fluid_synth_key_pressure(synth_, ch, ev.data1, ev.data2); break;
        case 0xB0: fluid_synth_cc(synth_, ch, ev.data1, ev.data2); break;
        case 0xC0: fluid_synth_program_change(synth_, ch, ev.data1); break;
        case 0xD0: fluid_synth_channel_pressure(synth_, ch, ev.data1); break;
        case 0xE0: fluid_synth_pitch_bend(synth_, ch, ev.data1 | (ev.data2 << 7)); break;
        default: break;
    }
}

void MidiSynth::Play(std::shared_ptr<const MidiSong> song, double fromMs, double startFrame, int64_t nowFrame) {
    Stop();
    if (!song) return;
    if (startFrame < double(nowFrame)) {
        fromMs += (double(nowFrame) - startFrame) * 1000.0 / rate_;
        startFrame = double(nowFrame);
    }
    song_ = std::move(song);
    fromMs_ = fromMs;
    startFrame_ = startFrame;
    if (synth_) fluid_synth_system_reset(synth_);
    // Bring programs, controllers and bends to their state at the start point; notes
    // that began before it are not sounded.
    cursor_ = 0;
    const auto& evs = song_->events;
    while (cursor_ < evs.size() && evs[cursor_].ms < fromMs_) {
        uint8_t kind = evs[cursor_].status & 0xF0;
        if (kind != 0x80 && kind != 0x90 && kind != 0xA0) Send(evs[cursor_]);
        ++cursor_;
    }
    playing_ = true;
    tails_ = true;
    fadeLeft_ = 0;
    quietFrames_ = 0;
}

void MidiSynth::Stop() {
    if (playing_ && synth_) fluid_synth_all_notes_off(synth_, -1);
    playing_ = false;
}

void MidiSynth::FadeOut(int frames) {
    Stop();
    if (!tails_ || frames <= 0) return;
    fadeFrames_ = fadeLeft_ = frames;
}

void MidiSynth::Close() {
    Stop();
    song_.reset();
    cursor_ = 0;
}

int64_t MidiSynth::EventFrame(const MidiEvent& ev) const {
    return static_cast<int64_t>(std::nearbyint(startFrame_ + (ev.ms - fromMs_) * rate_ / 1000.0));
}

int64_t MidiSynth::NextEventFrame() const {
    if (!playing_ || !song_ || cursor_ >= song_->events.size()) return INT64_MAX;
    return EventFrame(song_->events[cursor_]);
}

void MidiSynth::DispatchDue(int64_t frame) {
    if (!playing_ || !song_) return;
    const auto& evs = song_->events;
    while (cursor_ < evs.size() && EventFrame(evs[cursor_]) <= frame) Send(evs[cursor_++]);
}

bool MidiSynth::Active() const {
    return synth_ && ((playing_ && song_ && cursor_ < song_->events.size()) || tails_);
}

void MidiSynth::RenderAdd(float* left, float* right, float* scratchL, float* scratchR, int n) {
    if (!Active() || n <= 0) return;
    fluid_synth_write_float(synth_, n, scratchL, 0, 1, scratchR, 0, 1);
    if (fadeLeft_ > 0) {
        for (int i = 0; i < n; ++i) {
            const float g = float(std::max(fadeLeft_ - i, 0)) / float(fadeFrames_ + 1);
            left[i] += scratchL[i] * g;
            right[i] += scratchR[i] * g;
        }
        fadeLeft_ -= n;
        if (fadeLeft_ <= 0) {
            fadeLeft_ = 0;
            fluid_synth_all_sounds_off(synth_, -1);
            tails_ = false;
        }
        return;
    }
    for (int i = 0; i < n; ++i) {
        left[i] += scratchL[i];
        right[i] += scratchR[i];
    }
    // Once nothing sounds, two more seconds let the reverb die away before rendering stops.
    if (fluid_synth_get_active_voice_count(synth_) > 0) {
        quietFrames_ = 0;
    } else if ((quietFrames_ += n) > int64_t(rate_) * 2) {
        tails_ = false;
    }
}

}  // namespace jov
