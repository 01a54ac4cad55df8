#include "engine/player.h"

#include "engine/start_placement.h"

#include <exception>

#include "shell/status.h"

namespace jov {

Player::Player(Shell& shell, Clock& clock, SoundDevice* sound, MidiDevice* midi)
    : shell_(shell),
      clock_(clock),
      sounds_(model_, state_, clock, sound),
      engine_(model_, state_, sounds_, clock, shell),
      context_{model_, state_, shell, clock, [this](int w) { sounds_.LoadKeySound(w); },
               [this] { sounds_.ReleaseSound(); }, midi, &reading_} {}

bool Player::LoadChart(const std::string& path) {
    try {
        return jov::LoadChart(context_, path);
    } catch (const std::exception&) {
        DropChart();
        shell_.ReportUnreadable(path);
        return false;
    }
}

void Player::DropChart() {
    sounds_.StopAll();
    ResetChart(context_);
    state_.IsPlaying = false;
}

void Player::RunPlayLoop() {
    try {
        engine_.RunPlayLoop();
    } catch (const std::exception&) {
        engine_.Host().StopTimer(kPlayTimerId);
        engine_.Host().StopTimer(kStatusTimerId);
        const std::string path = model_.Chart.FilePath;
        DropChart();
        shell_.ReportUnreadable(path);
    }
}

bool Player::PlaceStart() { return jov::PlaceStart(model_, state_, sounds_, engine_); }

}  // namespace jov
