#include "audio/limiter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace jov {
namespace {

// True peak (dBTP) by libebur128, an independent oversampling meter.
double TruePeak(const std::vector<float>& l, const std::vector<float>& r, int rate) {
    ebur128_state* m = ebur128_init(2, rate, EBUR128_MODE_TRUE_PEAK);
    std::vector<float> inter;
    for (size_t i = 0; i < l.size(); ++i) inter.insert(inter.end(), {l[i], r[i]});
    ebur128_add_frames_float(m, inter.data(), l.size());
    double a = 0, b = 0;
    ebur128_true_peak(m, 0, &a);
    ebur128_true_peak(m, 1, &b);
    ebur128_destroy(&m);
    return 20 * std::log10(std::max(a, b));
}

// Signals under the ceiling come out as they went in, delayed; over it (also only
// between samples: a quarter-rate sine sampled at +-0.707 of its peak), the output's
// true peak stays at the ceiling, and a master gain applies before the limiting.
TEST(TruePeakLimiter, UnderTheCeilingUntouchedOverItHeldAtIt) {
    struct Case {
        double freq, amplitude, phase;
        float gain;
        bool limited;
    };
    const int rate = 48000;
    for (const Case& c : {Case{1000, 0.85, 0, 1.f, false}, Case{12000, 1.0, M_PI / 4, 1.f, true},
                          Case{440, 3.0, 0, 1.f, true}, Case{440, 0.9, 0, 0.5f, false}, Case{100, 0.5, 0, 4.f, true}}) {
        SCOPED_TRACE(c.freq);
        TruePeakLimiter lim(rate);
        lim.SetGainNow(c.gain);
        const int n = rate;
        std::vector<float> l(n), r(n);
        for (int i = 0; i < n; ++i) l[i] = r[i] = float(c.amplitude * std::sin(2 * M_PI * c.freq * i / rate + c.phase));
        std::vector<float> ol = l, orr = r;
        for (int done = 0; done < n; done += 333) lim.Process(ol.data() + done, orr.data() + done, std::min(333, n - done));
        const int d = lim.Latency();
        EXPECT_GT(d, 0);
        if (!c.limited && c.gain == 1.f) {
            for (int i = d; i < n; ++i) ASSERT_EQ(ol[i], l[i - d]) << i;
        }
        const double tp = TruePeak(ol, orr, rate);
        EXPECT_LE(tp, -1.0 + 0.05);
        if (c.limited) {
            EXPECT_GT(tp, -1.5);  // held at the ceiling, not far under it
        } else {
            EXPECT_NEAR(tp, 20 * std::log10(c.amplitude * c.gain), 0.1);
        }
    }
}

}  // namespace
}  // namespace jov
