// Mixing cost: seconds of audio mixed per second of CPU, with 32 key sounds at once
// and a FluidSynth background playing. The "x_realtime" counter is audio time / CPU time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/midi_song.h"
#include "audio/midi_synth.h"
#include "audio/mixer.h"

namespace jov {
namespace {

constexpr int kRate = 44100;

std::shared_ptr<const SoundBuffer> Tone(double seconds, double hz) {
    auto b = std::make_shared<SoundBuffer>();
    b->frames = int64_t(seconds * kRate);
    b->originalRate = kRate;
    b->originalFrames = b->frames;
    b->pcm.resize(size_t(b->frames) * 2);
    for (int64_t i = 0; i < b->frames; ++i)
        b->pcm[2 * i] = b->pcm[2 * i + 1] = int16_t(2000 * std::sin(2 * M_PI * hz * double(i) / kRate));
    return b;
}

// `channels` instruments each striking a note every `stepMs` for `seconds`. Eight
// channels every 125 ms (64 notes a second, ~70 voices sounding) is a very busy
// background; four every 250 ms is closer to a usual one.
std::shared_ptr<const MidiSong> BusySong(double seconds, int channels = 8, double stepMs = 125) {
    auto song = std::make_shared<MidiSong>();
    for (int ch = 0; ch < channels; ++ch) song->events.push_back({0, uint8_t(0xC0 | ch), uint8_t(ch * 8), 0});
    for (double t = 0; t < seconds * 1000; t += stepMs) {
        for (int ch = 0; ch < channels; ++ch) {
            uint8_t key = uint8_t(48 + (int(t / stepMs) * 5 + ch * 7) % 36);
            song->events.push_back({t, uint8_t(0x90 | ch), key, 90});
            song->events.push_back({t + stepMs * 0.9, uint8_t(0x80 | ch), key, 0});
        }
    }
    std::stable_sort(song->events.begin(), song->events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.ms < b.ms; });
    song->lengthMs = seconds * 1000;
    return song;
}

std::unique_ptr<Mixer> MakeMixer(bool midi) {
    auto m = std::make_unique<Mixer>(kRate);
    m->SetOfflineAnchor(0, 0);
    if (midi) {
        auto sf = FindSoundFont();
        m->AttachSynth(std::make_unique<MidiSynth>(kRate, sf.value_or("")));
    }
    return m;
}

void MixOneSecond(benchmark::State& state, bool midi) {
    auto m = MakeMixer(midi);
    if (midi && !m->Synth()->HasSoundFont()) {
        state.SkipWithError("no SoundFont installed");
        return;
    }
    for (int s = 0; s < 32; ++s) m->SetBuffer(s, Tone(3.0, 200 + 20 * s));
    auto song = BusySong(3600);
    if (midi) m->MidiPlay(song, 0, 0);
    std::vector<int16_t> out(size_t(kRate) * 2);
    double ms = 0;
    for (auto _ : state) {
        // All 32 voices restart every second and sound for the whole second.
        for (int s = 0; s < 32; ++s) {
            m->Stop(s, ms);
            m->SetPosition(s, 0, ms);
            m->Play(s, ms);
        }
        for (int i = 0; i < kRate; i += 512) m->Pull(out.data() + 2 * i, std::min(512, kRate - i));
        ms += 1000;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Mix32Voices(benchmark::State& state) { MixOneSecond(state, false); }
void BM_Mix32VoicesWithMidi(benchmark::State& state) { MixOneSecond(state, true); }

// The render goal's shape: a 2-minute chart, 200 key sounds triggered 8 times a second
// (up to ~30 at once), a MIDI background, pulled offline in 1024-frame blocks.
void BM_RenderTwoMinuteChart(benchmark::State& state) {
    std::vector<std::shared_ptr<const SoundBuffer>> sounds;
    for (int s = 0; s < 200; ++s) sounds.push_back(Tone(0.4 + 0.01 * (s % 50), 150 + 7 * s));
    auto song = BusySong(125, 4, 250);
    std::vector<int16_t> block(2 * 1024);
    for (auto _ : state) {
        auto m = MakeMixer(true);
        for (int s = 0; s < 200; ++s) m->SetBuffer(s, sounds[size_t(s)]);
        m->MidiPlay(song, 0, 0);
        int next = 0;
        const int64_t total = int64_t(120) * kRate;
        for (int64_t f = 0; f < total; f += 1024) {
            double ms = double(f + 1024) * 1000 / kRate;
            for (; next * 125.0 / 4 < ms; ++next) {  // 32 triggers a second
                int s = (next * 37) % 200;
                double at = next * 125.0 / 4;
                m->Stop(s, at);
                m->SetPosition(s, 0, at);
                m->Play(s, at);
            }
            m->Pull(block.data(), 1024);
        }
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(120.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Mix32Voices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix32VoicesWithMidi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTwoMinuteChart)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace jov
