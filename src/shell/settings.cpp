#include "shell/settings.h"

#include <charconv>
#include <cmath>
#include <string>

#include "shell/ini_file.h"
#include "shell/status.h"

namespace jov {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<double> ParseNumber(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.empty()) return std::nullopt;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        double v = 0;
        for (char c : s.substr(2)) {
            int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            v = v * 16 + d;
            if (v > 1e18) return std::nullopt;
        }
        return v;
    }
    // Validate the form, then hand a normalised copy ("D" exponent as "E", no "+") to
    // from_chars, which ignores the process locale.
    std::string norm;
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    // digits[.[digits]] or .digits ("1.", ".5"); a point alone is no number.
    std::size_t digits = 0;
    norm += '0';
    while (i < s.size() && IsDigit(s[i])) { norm += s[i++]; ++digits; }
    if (i < s.size() && s[i] == '.') {
        norm += s[i++];
        while (i < s.size() && IsDigit(s[i])) { norm += s[i++]; ++digits; }
        if (norm.back() == '.') norm += '0';
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        norm += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) norm += s[i++];
        std::size_t exp = 0;
        while (i < s.size() && IsDigit(s[i])) { norm += s[i++]; ++exp; }
        if (exp == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    double v = 0;
    auto r = std::from_chars(norm.data(), norm.data() + norm.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    return negative ? -v : v;
}

std::optional<int> ReadSetting(const std::string& file, const char* section, const char* key, const char* def) {
    auto v = ParseInt16(ReadIni(file, section, key, def));
    if (!v) return std::nullopt;
    return static_cast<int>(*v);
}

}  // namespace

std::optional<int16_t> ParseInt16(std::string_view text) {
    auto v = ParseNumber(text);
    if (!v) return std::nullopt;
    double r = std::nearbyint(*v);
    if (!(r >= -32768.0 && r <= 32767.0)) return std::nullopt;
    return static_cast<int16_t>(r);
}

void LoadSettings(const std::string& iniPath, Shell& shell, SettingsControls& controls) {
    if (!shell.FileExists(iniPath)) {
        controls.SetEngineSettings(10, 1);
        return;
    }
    if (auto v = ReadSetting(iniPath, "Setting", "Sleep", "10"); v && *v >= 0 && *v < kSleepItems) {
        controls.SetSleepIndex(*v);
    }
    if (auto v = ReadSetting(iniPath, "Setting", "WAVLoadmode", "1"); v && *v >= 0 && *v < kWavModeItems) {
        controls.SetWavModeIndex(*v);
    }
    // A check box holds 0 (clear), 1 (ticked) or 2 (greyed, which counts as ticked).
    if (auto v = ReadSetting(iniPath, "Setting", "ShowNotes", "0"); v && *v >= 0 && *v <= 2) {
        controls.SetShowNotes(*v != 0);
    }
    if (auto v = ReadSetting(iniPath, "ListSetting", "Random", "0"); v && *v >= 0 && *v <= 2) {
        controls.SetRandom(*v != 0);
    }
    // Files written before the reading had three values kept ExtendedReading=0|1; their
    // 0 was the old default, which Auto now is.
    const std::string reading = ReadIni(iniPath, "Setting", "Reading", "");
    if (reading == "auto" || reading == "classic" || reading == "extended") {
        controls.SetReading(reading);
    } else if (reading.empty()) {
        if (auto v = ReadSetting(iniPath, "Setting", "ExtendedReading", "0"); v && (*v == 0 || *v == 1))
            controls.SetReading(*v != 0 ? "extended" : "auto");
    }
    if (auto v = ReadSetting(iniPath, "Setting", "EvenLoudness", "1"); v && (*v == 0 || *v == 1)) {
        controls.SetEvenLoudness(*v != 0);
    }
    if (auto v = ReadSetting(iniPath, "ListSetting", "OneChartPerSong", "1"); v && (*v == 0 || *v == 1)) {
        controls.SetOneChartPerSong(*v != 0);
    }
}

void SaveSettings(const std::string& iniPath, const SettingsControls& controls) {
    WriteIni(iniPath, "Setting", "Sleep", std::to_string(controls.SleepMs()));
    WriteIni(iniPath, "Setting", "WAVLoadmode", std::to_string(controls.WavLoadMode()));
    WriteIni(iniPath, "ListSetting", "Random", controls.Random() ? "1" : "0");
    WriteIni(iniPath, "Setting", "ShowNotes", controls.ShowNotes() ? "1" : "0");
    WriteIni(iniPath, "Setting", "Reading", controls.Reading());
    WriteIni(iniPath, "Setting", "EvenLoudness", controls.EvenLoudness() ? "1" : "0");
    WriteIni(iniPath, "ListSetting", "OneChartPerSong", controls.OneChartPerSong() ? "1" : "0");
}

}  // namespace jov
