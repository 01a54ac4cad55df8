#include "engine/player.h"

#include "engine/start_placement.h"

namespace jov {

Player::Player(Shell& shell, Clock& clock, SoundDevice* sound, MidiDevice* midi)
    : shell_(shell),
      clock_(clock),
      sounds_(model_, state_, clock, sound),
      engine_(model_, state_, sounds_, clock, shell),
      context_{model_, state_, shell, clock, [this](int w) { sounds_.LoadKeySound(w); },
               [this] { sounds_.ReleaseSound(); }, midi} {}

void Player::LoadChart(const std::string& path) { jov::LoadChart(context_, path); }

bool Player::PlaceStart() { return jov::PlaceStart(model_, state_, sounds_, engine_); }

}  // namespace jov
