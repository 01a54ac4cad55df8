#include "engine/status_readout.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    char buf[64];
    for (int p = 1; p <= 7; ++p) {
        std::snprintf(buf, sizeof buf, "%.*G", p, static_cast<double>(bpm));
        if (std::strtof(buf, nullptr) == bpm) break;
    }
    std::string s = buf;
    // Exponent written without padding ("1E+10", not "1E+010" or "1E+01").
    auto e = s.find('E');
    if (e != std::string::npos && e + 2 < s.size()) {
        std::string mant = s.substr(0, e + 2);
        std::string exp = s.substr(e + 2);
        while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
        s = mant + exp;
    }
    return s;
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
