// The gain rule apart from the measuring, so the playlist can use it without the sound libraries.
#include <algorithm>
#include <cmath>

#include "engine/loudness.h"

namespace jov {

EvenGain EvenLoudnessGain(const Loudness& l) {
    EvenGain g;
    if (!std::isfinite(l.mixIntegrated)) return g;
    g.db = kTargetLufs - l.mixIntegrated;
    if (g.db < 0) g.db = std::min(0.0, g.db + l.limiterLoss);
    if (g.db > 0 && std::isfinite(l.mixTruePeak) && l.mixTruePeak + g.db > kPeakCeilingDbtp) {
        g.db = std::max(0.0, kPeakCeilingDbtp - l.mixTruePeak);
        g.capped = true;
    }
    return g;
}

}  // namespace jov
