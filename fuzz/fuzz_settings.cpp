// The settings file with any values: each control takes only what it can hold, and a
// save of what was loaded loads back to the same controls.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "shell/settings.h"
#include "shell/status.h"

namespace {

struct Controls final : jov::SettingsControls {
    int sleepIndex = 10, wavIndex = 1;
    bool notes = false, random = false, even = true, onePerSong = true;
    std::string reading = "auto";
    int32_t sleepMs = 10, wavMode = 1;
    void SetSleepIndex(int i) override {
        if (i < 0 || i >= jov::kSleepItems) __builtin_trap();
        sleepIndex = i;
        sleepMs = i;
    }
    void SetWavModeIndex(int i) override {
        if (i < 0 || i >= jov::kWavModeItems) __builtin_trap();
        wavIndex = i;
        wavMode = i;
    }
    void SetShowNotes(bool on) override { notes = on; }
    void SetRandom(bool on) override { random = on; }
    bool ShowNotes() const override { return notes; }
    bool Random() const override { return random; }
    int32_t SleepMs() const override { return sleepMs; }
    int32_t WavLoadMode() const override { return wavMode; }
    void SetEngineSettings(int32_t s, int32_t w) override { sleepMs = s, wavMode = w; }
    void SetReading(const std::string& name) override {
        if (name != "auto" && name != "classic" && name != "extended") __builtin_trap();
        reading = name;
    }
    std::string Reading() const override { return reading; }
    void SetEvenLoudness(bool on) override { even = on; }
    bool EvenLoudness() const override { return even; }
    void SetOneChartPerSong(bool on) override { onePerSong = on; }
    bool OneChartPerSong() const override { return onePerSong; }
    bool operator==(const Controls& o) const {
        return sleepMs == o.sleepMs && wavMode == o.wavMode && notes == o.notes && random == o.random &&
               reading == o.reading && even == o.even && onePerSong == o.onePerSong;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // In memory where the system has such a folder: a save's flush to disk costs nothing there.
    static const std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/jov01-fuzz-settings-" + std::to_string(::getpid()) + ".ini";
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)jov::ParseInt16(text);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    jov::Shell shell;
    Controls loaded;
    jov::LoadSettings(path, shell, loaded);
    if (size % 4 == 1) {
        jov::SaveSettings(path, loaded);
        Controls again;
        jov::LoadSettings(path, shell, again);
        if (!(again == loaded)) __builtin_trap();
    }
    return 0;
}
