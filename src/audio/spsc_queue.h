#pragma once
// A bounded single-producer/single-consumer ring. The producer (UI thread) and the
// consumer (audio callback) never wait on each other; a full ring refuses the push.
#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>

namespace jov {

template <typename T, std::size_t N>
class SpscQueue {
    static_assert((N & (N - 1)) == 0, "capacity must be a power of two");

public:
    bool Push(T&& item) {
        std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) >= N) return false;
        slots_[tail & (N - 1)] = std::move(item);
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    // Moves the oldest item into `out`; the slot is left moved-from (empty).
    bool Pop(T& out) {
        std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        out = std::move(slots_[head & (N - 1)]);
        slots_[head & (N - 1)] = T{};
        head_.store(head + 1, std::memory_order_release);
        return true;
    }
    std::size_t SizeApprox() const {
        return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
    }

private:
    std::unique_ptr<T[]> slots_ = std::make_unique<T[]>(N);
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace jov
