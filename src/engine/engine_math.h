#pragma once
// Small numeric helpers shared by the play pass, the seek and the key sounds.
#include <cmath>
#include <cstdint>
#include <optional>

namespace jov {

// now − start on a 32-bit millisecond counter that wraps around.
inline int32_t WrapElapsed(int64_t nowMs, int32_t startTime) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(nowMs)) -
                                static_cast<uint32_t>(startTime));
}

// A 64-bit clock value cut to the 32-bit counter.
inline int32_t WrapTo32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// Nearest whole number, halves to even; nullopt when it does not fit 32 bits.
inline std::optional<int32_t> RoundToInt32(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    double r = std::nearbyint(v);
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(r);
}

inline std::optional<int64_t> RoundToInt64(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    double r = std::nearbyint(v);
    if (r < -9.2e18 || r > 9.2e18) return std::nullopt;
    return static_cast<int64_t>(r);
}

}  // namespace jov
