#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace jov {
namespace {

// A device that consumes faster or slower than the clock (as SDL's disk driver does by
// several %) must not leave the live mapping lagging behind the output: commands would
// then arrive after their frame and start late at block boundaries.
TEST(MixerPace, LiveMappingLearnsTheDevicePaceAndKeepsNoStandingLag) {
    for (double pace : {1.04, 0.97}) {
        Mixer m(44100);
        double now = 1000.0;
        m.SetLive([&now] { return now; }, 30.0);
        std::vector<int16_t> out(2 * 512);
        const double blockMs = 512 / 44.1 / pace;
        double worst = 0;
        for (int b = 0; b < 1000; ++b) {
            // Callback times wobble by up to 1 ms around the device's own pace.
            now = 1000.0 + b * blockMs + std::sin(b * 1.7) * 1.0;
            m.Pull(out.data(), 512);
            if (b < 400) continue;
            // Where "now" lands, minus the fixed delay, against the frame being made now.
            double lag = m.FrameAtMs(1000.0 + b * blockMs) - 30.0 * 44.1 - double(b) * 512;
            worst = std::max(worst, std::fabs(lag));
        }
        EXPECT_LT(worst, 30.0) << "pace " << pace;  // under 1 ms
    }
}

}  // namespace
}  // namespace jov
