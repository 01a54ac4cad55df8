#include "engine/status_readout.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chart/chart_model.h"
#include "engine/engine_state.h"

namespace jov {

namespace {

// At least two digits, sign in front ("-05").
std::string TwoDigits(int32_t v) {
    int64_t a = v < 0 ? -int64_t(v) : int64_t(v);
    std::string s = std::to_string(a);
    if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
    if (v < 0) s.insert(s.begin(), '-');
    return s;
}

std::string WholeText(double v) {
    if (!std::isfinite(v)) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f", std::nearbyint(v));
    return buf;
}

}  // namespace

std::string FormatTime(int32_t ms) {
    return TwoDigits(ms / 60000) + ":" + TwoDigits((ms % 60000) / 1000);
}

std::string FormatBpm(float bpm) {
    if (std::isnan(bpm)) return "NaN";
    if (std::isinf(bpm)) return bpm > 0 ? "Infinity" : "-Infinity";
    if (bpm == 0.0f) return "0";
    // Fewest significant digits (up to 7) that read back as the same single.
    char buf[64];
    int p = 1;
    for (; p < 7; ++p) {
        std::snprintf(buf, sizeof buf, "%.*e", p - 1, static_cast<double>(bpm));
        if (std::strtof(buf, nullptr) == bpm) break;
    }
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, static_cast<double>(bpm));
    const char* e = std::strchr(buf, 'e');
    const int exp = e ? std::atoi(e + 1) : 0;
    if (exp >= -5 && exp < 7) {
        std::snprintf(buf, sizeof buf, "%.*f", p - 1 - exp > 0 ? p - 1 - exp : 0, static_cast<double>(bpm));
        return buf;
    }
    // Mantissa, then "E+07" / "E-08".
    std::string mant(buf, e ? static_cast<size_t>(e - buf) : std::strlen(buf));
    char ex[16];
    std::snprintf(ex, sizeof ex, "E%c%02d", exp < 0 ? '-' : '+', exp < 0 ? -exp : exp);
    return mant + ex;
}

StatusReadout BuildStatusReadout(const ChartModel& model, const EngineState& engine) {
    StatusReadout r;
    // Built by appending (GCC 12 warns falsely on "literal" + temporary chains).
    std::string& a = r.line1;
    a += '<';
    a += WholeText(engine.BarMeasure);
    a += '/';
    a += std::to_string(model.MaxMeasure);
    a += "> [";
    a += FormatTime(engine.ElapsedMs);
    a += '/';
    a += FormatTime(model.PlayTime);
    a += ']';
    r.line2 = "BPM: ";
    r.line2 += FormatBpm(engine.CurrentBpm);
    return r;
}

}  // namespace jov
