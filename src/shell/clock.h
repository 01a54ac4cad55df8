#pragma once
// The only source of time for the engine: monotonic milliseconds and a sleep.
#include <cstdint>

namespace jov {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t NowMs() = 0;
    // 0 yields the rest of the time slice.
    virtual void Sleep(int64_t ms) = 0;
};

// The program's clock: std::chrono::steady_clock.
class SteadyClock final : public Clock {
public:
    int64_t NowMs() override;
    void Sleep(int64_t ms) override;
};

// Deterministic time for tests and the tool: advances only when told to, or by a
// fixed step on every Sleep.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(int64_t startMs = 0, int64_t sleepStep = -1)
        : now_(startMs), sleepStep_(sleepStep) {}
    int64_t NowMs() override { return now_; }
    // Advances by sleepStep when it is >= 0, else by the ms asked for.
    void Sleep(int64_t ms) override { now_ += sleepStep_ >= 0 ? sleepStep_ : ms; }
    void Advance(int64_t ms) { now_ += ms; }
    void Set(int64_t ms) { now_ = ms; }

private:
    int64_t now_;
    int64_t sleepStep_;
};

}  // namespace jov
