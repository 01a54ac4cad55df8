#pragma once
// Adding charts in the background: the folder search and the header scan of each add
// run on a worker thread (the scans spread over both cores), and the results come back
// in list order as items the window appends in small batches. Adds run one after
// another in the order they were asked for; Cancel ends the running and waiting ones.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "chart/extended_reader.h"
#include "playlist/scan_cache.h"

namespace jov {

class PlayList;

struct AddItem {
    enum class Kind {
        Entry,       // append `result` (an empty entry when the file could not be read)
        LoadList,    // replace the list by the list file `path`
        Unreadable,  // report `path` as a file that cannot be used
        Rescanned,   // `result` is the new reading of entry `index` of a re-scan
        Counted,     // only `result.soundingObjects` of entry `index` (a re-scan for counts)
        Done,        // the add `job` has ended (whole or cancelled)
    };
    Kind kind = Kind::Entry;
    uint64_t job = 0;
    ScanResult result;
    std::string path;
    int32_t index = 0;
};

struct AddProgress {
    bool busy = false;
    int32_t done = 0;    // charts of the running add read so far
    int32_t total = -1;  // charts it will read; -1 while its search still runs
    int32_t waiting = 0; // adds queued behind it
    bool quiet = false;  // the running one only counts objects (nothing to show)
};

class AddQueue {
public:
    // `cache` may be null (every chart is read); `threads` scanning threads (at least 1).
    // With `loadCache` the worker first reads the cache's file, off the caller's thread.
    explicit AddQueue(ScanCache* cache, int threads = 2, bool loadCache = false);
    ~AddQueue();
    AddQueue(const AddQueue&) = delete;
    AddQueue& operator=(const AddQueue&) = delete;

    // One drop's paths, handled as a drop is: a first path ending in ".rxl" (any case)
    // replaces the list; otherwise each file is added, each folder searched for
    // the reading's chart file patterns. `reading` is copied: later changes do not touch this add.
    uint64_t Enqueue(std::vector<std::string> paths, const ChartReading* reading);
    // Reads `paths` afresh (entry k + 1 of the list is path k), as Rescanned items, or
    // with `countsOnly` as Counted items that leave the entries as they are.
    uint64_t EnqueueRescan(std::vector<std::string> paths, const ChartReading* reading, bool countsOnly = false);
    // Up to `max` items, in order; none when a scanning thread holds the queue just now.
    std::vector<AddItem> Take(std::size_t max);
    // Ends every add asked for so far; items not yet taken are dropped (each still ends
    // with its Done item).
    void Cancel();
    // Nothing running, waiting or left to take (false when it cannot be told just now).
    bool Idle() const;
    // The window's thread only (the last answer when it cannot be told just now).
    AddProgress Progress() const;

    // Called on the worker thread whenever items become available to Take.
    std::function<void()> onItems;

private:
    struct Job {
        uint64_t id = 0;
        bool rescan = false;
        bool countsOnly = false;
        std::vector<std::string> paths;
        std::optional<ChartReading> reading;
    };

    void Run();
    void RunJob(Job& job);
    // Scans `paths` in order on all scanning threads; stops early when cancelled.
    void ScanAll(const Job& job, const std::vector<std::string>& paths, bool asRescan);
    bool Cancelled(uint64_t job) const { return job <= cancelledUpTo_.load(); }
    void Push(AddItem item);

    ScanCache* cache_;
    int threads_;
    bool loadCache_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::deque<AddItem> out_;
    uint64_t nextId_ = 1;
    uint64_t running_ = 0;
    bool runningQuiet_ = false;
    bool quit_ = false;
    std::atomic<uint64_t> cancelledUpTo_{0};
    mutable AddProgress lastProgress_;
    std::atomic<int32_t> done_{0};
    std::atomic<int32_t> total_{-1};
    std::thread worker_;
};

// Applies taken items to `list` as the synchronous add would; true when entries were
// appended (the play order must then cover them).
bool ApplyAddItems(const std::vector<AddItem>& items, PlayList& list);

}  // namespace jov
