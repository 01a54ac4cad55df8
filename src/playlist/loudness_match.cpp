#include "playlist/loudness_match.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "chart/extended_reader.h"
#include "shell/paths.h"

namespace jov {
namespace {

std::string IdOf(ReadingMode mode) {
    ChartReading reading;
    reading.mode = mode;
    return ReadingId(reading);
}

}  // namespace

LoudnessMatch::LoudnessMatch(std::string cacheFile, Measure measure)
    : cacheFile_(std::move(cacheFile)), measure_(std::move(measure)) {
    worker_ = std::thread([this] { Run(); });
}

LoudnessMatch::~LoudnessMatch() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::optional<Loudness> LoudnessMatch::Known(const std::string& path, ReadingMode reading) const {
    auto stamp = StampChart(path, IdOf(reading));
    if (!stamp) return std::nullopt;
    std::lock_guard lock(mutex_);
    return cache_.Find(*stamp);
}

double LoudnessMatch::GainForStart(const std::string& path, ReadingMode reading) {
    if (auto known = Known(path, reading)) {
        std::lock_guard lock(mutex_);
        lastGain_ = EvenLoudnessGain(*known).db;
        return lastGain_;
    }
    Enqueue(Request{path, reading}, true);
    std::lock_guard lock(mutex_);
    return lastGain_;
}

void LoudnessMatch::MeasureSoon(const std::string& path, ReadingMode reading) {
    if (!Known(path, reading)) Enqueue(Request{path, reading}, false);
}

void LoudnessMatch::Enqueue(Request r, bool first) {
    if (r.path.empty()) return;
    {
        std::lock_guard lock(mutex_);
        auto same = [&](const Request& q) { return q.path == r.path && q.reading == r.reading; };
        queue_.erase(std::remove_if(queue_.begin(), queue_.end(), same), queue_.end());
        if (first) queue_.push_front(std::move(r));
        else queue_.push_back(std::move(r));
    }
    wake_.notify_all();
}

void LoudnessMatch::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return stop_ || (loaded_ && queue_.empty() && !busy_); });
}

void LoudnessMatch::Run() {
    // The lowest priority: measuring must never take time from playback or the window.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
    LoudnessCache loaded;
    if (!cacheFile_.empty()) loaded.Load(cacheFile_);
    std::unique_lock lock(mutex_);
    cache_ = std::move(loaded);
    loaded_ = true;
    const std::function<bool()> cancel = [this] {
        std::lock_guard g(mutex_);
        return stop_;
    };
    while (true) {
        idle_.notify_all();
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) break;
        Request r = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        const std::string id = IdOf(r.reading);
        auto before = StampChart(r.path, id);
        std::optional<Loudness> result;
        if (before) result = measure_(r.path, r.reading, cancel);
        // A chart rewritten while it was measured is left for another time.
        auto after = StampChart(r.path, id);
        lock.lock();
        busy_ = false;
        if (result && before && after && before->size == after->size && before->mtimeNs == after->mtimeNs && !stop_) {
            cache_.Put(*before, *result);
            if (!cacheFile_.empty()) {
                const std::string text = cache_.Serialize();
                lock.unlock();
                WriteFileAtomically(cacheFile_, text);
                lock.lock();
            }
        }
    }
    idle_.notify_all();
}

}  // namespace jov
