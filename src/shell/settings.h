#pragma once
// The user choices kept in "jov01.ini" between runs.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jov {

class Shell;

// The main window's four controls. Each setter behaves as a user's change: the window's
// reaction copies the value into the engine (SleepMs, WavLoadMode), shows or hides the
// notes window, or rebuilds the play order.
class SettingsControls {
public:
    virtual ~SettingsControls() = default;
    virtual void SetSleepIndex(int index) = 0;    // list position of cmbSleep, 0..15
    virtual void SetWavModeIndex(int index) = 0;  // list position of cmbWAVMode, 0..1
    virtual void SetShowNotes(bool ticked) = 0;   // chkShowNotes
    virtual void SetRandom(bool ticked) = 0;      // chkRandom
    virtual bool ShowNotes() const = 0;
    virtual bool Random() const = 0;
    // The engine's settings, read when saving and set directly when no file exists.
    virtual int32_t SleepMs() const = 0;
    virtual int32_t WavLoadMode() const = 0;
    virtual void SetEngineSettings(int32_t sleepMs, int32_t wavLoadMode) = 0;
    // The chart reading by name: "auto" (the default), "classic" or "extended".
    virtual void SetReading(const std::string& /*name*/) {}
    virtual std::string Reading() const { return "auto"; }
    // Even loudness (on by default): each chart played at the common level.
    virtual void SetEvenLoudness(bool /*on*/) {}
    virtual bool EvenLoudness() const { return true; }
    // The jukebox plays one chart of each song (on by default).
    virtual void SetOneChartPerSong(bool /*on*/) {}
    virtual bool OneChartPerSong() const { return true; }
};

constexpr int kSleepItems = 16;    // "0" .. "15"
constexpr int kWavModeItems = 2;   // "First ALL", "Realtime"

// Whole number of text as a 16-bit integer: blanks around, [+|-]digits[.digits][(E|D)[+|-]digits]
// or &H and hex digits; rounded half to even. Nothing when it is not a number or does not fit.
std::optional<int16_t> ParseInt16(std::string_view text);

// Without the file: SleepMs 10 and WavLoadMode 1, controls untouched. With it: each value
// in turn into its control; a value that is not a number, or a position the control does
// not have, leaves that control as it was.
void LoadSettings(const std::string& iniPath, Shell& shell, SettingsControls& controls);
void SaveSettings(const std::string& iniPath, const SettingsControls& controls);

}  // namespace jov
