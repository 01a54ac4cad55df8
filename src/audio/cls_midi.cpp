#include "audio/cls_midi.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "audio/midi_device.h"
#include "audio/path_resolver.h"
#include "shell/clock.h"

namespace jov {

clsMIDI::clsMIDI(MidiDevice* device, Clock* clock) : device_(device), clock_(clock) {
    Send("stop tmid ");
    Send("close tmid");
}

clsMIDI::~clsMIDI() {
    Send("stop tmid ");
    Send("close tmid");
}

int32_t clsMIDI::Send(const std::string& command) {
    std::string reply;
    LastResult = device_ ? device_->SendString(command, reply, clock_ ? double(clock_->NowMs()) : 0.0) : 1;
    return LastResult;
}

std::string clsMIDI::Query(const std::string& command) {
    Reply.clear();
    if (!device_) return {};
    LastResult = device_->SendString(command, Reply, clock_ ? double(clock_->NowMs()) : 0.0);
    // The reply buffer holds 15 characters.
    if (Reply.size() > 15) Reply.resize(15);
    return Reply;
}

void clsMIDI::SetFileName(const std::string& name) {
    FileName_ = name;
    // The file as found on disk; empty when there is none, so the open fails.
    ShortName = ResolvePath(name).value_or(std::string());
    Send("stop tmid");
    Send("close tmid");
    Send("open " + ShortName + " type sequencer alias tmid");
    Send("set tmid time format milliseconds");
}

void clsMIDI::Play(const std::string& start) {
    Send("stop tmid");
    Send(start.empty() ? std::string("play tmid") : "play tmid" + std::string(" from ") + start);
    Looping = false;
}

void clsMIDI::StopM() {
    Send("stop tmid ");
    Looping = false;
}

std::string clsMIDI::Position() { return Query("status tmid position"); }

void clsMIDI::SetPosition(const std::string& p) { Send("seek tmid to " + p); }

bool clsMIDI::Length(int32_t& out) {
    std::string a = Query("status tmid length");
    if (a.empty()) return false;
    char* end = nullptr;
    double v = std::strtod(a.c_str(), &end);
    if (end == a.c_str() || *end != '\0' || !std::isfinite(v) || std::fabs(v) > 2147483647.0) return false;
    out = static_cast<int32_t>(std::nearbyint(v));
    return true;
}

void clsMIDI::ResumeM() {
    // The NT family branch: resume by playing on (or looping) from the current position.
    if (Looping)
        PlayLoop();
    else
        Play("");
}

void clsMIDI::PlayLoop() {
    Send("play tmid");
    Looping = true;
    if (!PumpEvents) return;
    for (;;) {
        PumpEvents();
        std::string mode = Query("status tmid mode");
        // A device that is not open answers nothing and would never report "stopped".
        if (mode.empty()) return;
        std::string head = mode.substr(0, 7);
        std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::toupper(c); });
        if (head == "STOPPED") {
            if (!Looping) return;
            Send("play tmid from 0");
        }
    }
}

void clsMIDI::Pause() { Send("pause tmid "); }

std::string clsMIDI::Mode() {
    std::string a = Query("status tmid mode");
    std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return std::toupper(c); });
    return a;
}

}  // namespace jov
