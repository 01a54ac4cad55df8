#include "audio/midi_command_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "audio/mixer.h"
#include "audio/path_resolver.h"

namespace jov {
namespace {

constexpr std::size_t kMaxCommandLength = 8192;

std::string Lower(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    return s;
}

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> w;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
        if (j > i) w.push_back(s.substr(i, j - i));
        i = j;
    }
    return w;
}

// A non-negative whole number of milliseconds (at most 2^31 - 1).
bool ParseMs(const std::string& s, double& out) {
    if (s.empty() || s.size() > 10) return false;
    int64_t v = 0;
    for (char ch : s) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    if (v > INT32_MAX) return false;
    out = double(v);
    return true;
}

std::string FormatMs(double ms) {
    return std::to_string(static_cast<int64_t>(std::nearbyint(std::max(ms, 0.0))));
}

}  // namespace

MidiCommandLayer::MidiCommandLayer(Mixer* mixer) : mixer_(mixer) {}

double MidiCommandLayer::PositionAt(double atMs) {
    if (!song_) return 0;
    if (mode_ == Mode::Playing) {
        double pos = playFromMs_ + std::max(0.0, atMs - playAtMs_);
        if (pos >= song_->lengthMs) {
            // The song has ended: the sequencer stops at its end.
            mode_ = Mode::Stopped;
            posMs_ = song_->lengthMs;
            return posMs_;
        }
        return pos;
    }
    return posMs_;
}

void MidiCommandLayer::StartPlay(double fromMs, double atMs) {
    mode_ = Mode::Playing;
    playFromMs_ = fromMs;
    playAtMs_ = atMs;
    if (mixer_) mixer_->MidiPlay(song_, fromMs, atMs);
}

void MidiCommandLayer::Halt(double atMs, Mode next) {
    posMs_ = PositionAt(atMs);
    if (mode_ == Mode::Playing && mixer_) mixer_->MidiStop(atMs);
    mode_ = next;
}

void MidiCommandLayer::Close(double atMs) {
    if (mixer_ && song_) mixer_->MidiStop(atMs, true);
    song_.reset();
    alias_.clear();
    mode_ = Mode::Stopped;
    posMs_ = 0;
}

int32_t MidiCommandLayer::Open(const std::string& rest) {
    // The path may hold spaces: it runs up to the last " type sequencer alias ".
    static const std::string kTail = " type sequencer alias ";
    std::string lower = Lower(rest);
    std::size_t at = lower.rfind(kTail);
    if (at == std::string::npos) return kMidiUnrecognized;
    std::string path = rest.substr(0, at);
    std::vector<std::string> aliasWords = Words(rest.substr(at + kTail.size()));
    if (aliasWords.size() != 1) return kMidiUnrecognized;
    std::string alias = Lower(aliasWords[0]);
    if (song_) return kMidiAliasInUse;
    if (path.empty()) return kMidiOpenFailed;
    auto resolved = ResolvePath(path);
    if (!resolved) return kMidiOpenFailed;
    auto song = LoadSmfFile(*resolved);
    if (!song) return kMidiOpenFailed;
    song_ = std::make_shared<const MidiSong>(std::move(*song));
    alias_ = alias;
    mode_ = Mode::Stopped;
    posMs_ = 0;
    return kMidiOk;
}

int32_t MidiCommandLayer::SendString(const std::string& command, std::string& reply, double atMs) {
    reply.clear();
    if (command.size() > kMaxCommandLength) return kMidiUnrecognized;
    if (!std::isfinite(atMs)) atMs = 0;
    std::size_t start = command.find_first_not_of(" \t");
    if (start == std::string::npos) return kMidiUnrecognized;
    std::size_t verbEnd = command.find_first_of(" \t", start);
    std::string verb = Lower(command.substr(start, verbEnd == std::string::npos ? std::string::npos : verbEnd - start));
    std::string rest = verbEnd == std::string::npos ? std::string() : command.substr(verbEnd + 1);

    if (verb == "open") return Open(rest);

    std::vector<std::string> w = Words(rest);
    if (w.empty()) return kMidiUnrecognized;
    for (std::size_t i = 1; i < w.size(); ++i) w[i] = Lower(w[i]);
    if (!song_ || Lower(w[0]) != alias_) return kMidiBadAlias;
    const std::size_t n = w.size();

    if (verb == "close" && n == 1) {
        Close(atMs);
        return kMidiOk;
    }
    if (verb == "set") {
        if (n == 4 && w[1] == "time" && w[2] == "format" && (w[3] == "milliseconds" || w[3] == "ms"))
            return kMidiOk;
        return kMidiUnrecognized;
    }
    if (verb == "play") {
        double from = 0;
        if (n == 1) {
            from = PositionAt(atMs);
            if (mode_ == Mode::Playing) return kMidiOk;  // already playing on
            if (from >= song_->lengthMs) from = 0;       // at the end: from the top, like a sequencer
        } else if (n == 3 && w[1] == "from") {
            if (!ParseMs(w[2], from)) return kMidiBadNumber;
            if (from > song_->lengthMs) return kMidiOutOfRange;
            Halt(atMs, Mode::Stopped);
        } else {
            return kMidiUnrecognized;
        }
        StartPlay(from, atMs);
        return kMidiOk;
    }
    if (verb == "stop" && n == 1) {
        Halt(atMs, Mode::Stopped);
        return kMidiOk;
    }
    if (verb == "pause" && n == 1) {
        if (mode_ == Mode::Playing) Halt(atMs, Mode::Paused);
        return kMidiOk;
    }
    if (verb == "resume" && n == 1) {
        if (mode_ == Mode::Paused) StartPlay(posMs_, atMs);
        return kMidiOk;
    }
    if (verb == "seek" && n == 3 && w[1] == "to") {
        double to = 0;
        if (w[2] == "start") {
            to = 0;
        } else if (w[2] == "end") {
            to = song_->lengthMs;
        } else if (!ParseMs(w[2], to)) {
            return kMidiBadNumber;
        }
        if (to > song_->lengthMs) return kMidiOutOfRange;
        Halt(atMs, Mode::Stopped);  // a seek leaves the sequencer stopped at the new place
        posMs_ = to;
        return kMidiOk;
    }
    if (verb == "status" && n == 2) {
        if (w[1] == "position") {
            reply = FormatMs(PositionAt(atMs));
        } else if (w[1] == "length") {
            reply = FormatMs(song_->lengthMs);
        } else if (w[1] == "mode") {
            PositionAt(atMs);
            reply = mode_ == Mode::Playing ? "playing" : mode_ == Mode::Paused ? "paused" : "stopped";
        } else {
            return kMidiUnrecognized;
        }
        return kMidiOk;
    }
    return kMidiUnrecognized;
}

}  // namespace jov
