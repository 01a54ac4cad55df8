#pragma once
// Where a chart starts when it is played from its beginning.
namespace jov {

class KeySounds;
class PlayEngine;
struct ChartModel;
struct EngineState;

// Only when CurrentTick is exactly 0 (else the Play button has already sought):
// a chart with a MIDI background starts at tick 0; one without starts at its first
// sound object, after the sounds of that object's first measure have been loaded.
// Returns true when it placed the start.
bool PlaceStart(ChartModel& model, EngineState& engine, KeySounds& sounds, PlayEngine& play);

}  // namespace jov
