#include "playlist/add_queue.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "playlist/folder_search.h"
#include "playlist/playlist.h"
#include "shell/file_read.h"
#include "shell/status.h"

namespace jov {

AddQueue::AddQueue(ScanCache* cache, int threads, bool loadCache)
    : cache_(cache), threads_(std::max(1, threads)), loadCache_(loadCache) {
    worker_ = std::thread([this] { Run(); });
}

AddQueue::~AddQueue() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        cancelledUpTo_ = nextId_;
    }
    wake_.notify_all();
    worker_.join();
}

uint64_t AddQueue::Enqueue(std::vector<std::string> paths, const ChartReading* reading) {
    std::lock_guard lock(mutex_);
    Job job;
    job.id = nextId_++;
    job.paths = std::move(paths);
    if (reading) job.reading = *reading;
    jobs_.push_back(std::move(job));
    wake_.notify_all();
    return jobs_.back().id;
}

uint64_t AddQueue::EnqueueRescan(std::vector<std::string> paths, const ChartReading* reading, bool countsOnly) {
    std::lock_guard lock(mutex_);
    Job job;
    job.id = nextId_++;
    job.paths = std::move(paths);
    job.rescan = true;
    job.countsOnly = countsOnly;
    if (reading) job.reading = *reading;
    jobs_.push_back(std::move(job));
    wake_.notify_all();
    return jobs_.back().id;
}

std::vector<AddItem> AddQueue::Take(std::size_t max) {
    // The window never waits for a scanning thread that was preempted holding the lock:
    // it takes the items at its next turn.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock) return {};
    const std::size_t n = std::min(max, out_.size());
    std::vector<AddItem> items(std::make_move_iterator(out_.begin()),
                               std::make_move_iterator(out_.begin() + static_cast<std::ptrdiff_t>(n)));
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(n));
    return items;
}

void AddQueue::Cancel() {
    std::lock_guard lock(mutex_);
    cancelledUpTo_ = nextId_ - 1;
    // What was read but not yet taken goes too; each add still reports its end.
    std::erase_if(out_, [](const AddItem& i) { return i.kind != AddItem::Kind::Done; });
    std::vector<uint64_t> ended;
    if (running_ != 0) ended.push_back(running_);
    for (const Job& job : jobs_) ended.push_back(job.id);
    for (uint64_t id : ended) {
        AddItem done;
        done.kind = AddItem::Kind::Done;
        done.job = id;
        out_.push_back(std::move(done));
    }
    jobs_.clear();
}

bool AddQueue::Idle() const {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock) return false;
    // A cancelled add still winding down has nothing more to give.
    return jobs_.empty() && (running_ == 0 || Cancelled(running_)) && out_.empty();
}

AddProgress AddQueue::Progress() const {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock) return lastProgress_;
    AddProgress& p = lastProgress_;
    p = AddProgress();
    const bool running = running_ != 0 && !Cancelled(running_);
    p.busy = running || !jobs_.empty();
    p.waiting = static_cast<int32_t>(jobs_.size());
    if (running) {
        p.quiet = runningQuiet_;
        p.done = done_;
        p.total = total_;
    }
    return p;
}

void AddQueue::Push(AddItem item) {
    {
        std::lock_guard lock(mutex_);
        if (item.kind != AddItem::Kind::Done && Cancelled(item.job)) return;
        out_.push_back(std::move(item));
    }
    if (onItems) onItems();
}

void AddQueue::Run() {
    // Background work: the play loop and the window come first when the cores are busy.
    // Threads this one starts inherit it.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (errno == 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min(nice + 10, 19));
    // A foreign or damaged file gives an empty cache, rebuilt as charts are read.
    if (loadCache_ && cache_) cache_->Load();
    while (true) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || !jobs_.empty(); });
            if (quit_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            running_ = job.id;
            runningQuiet_ = job.countsOnly;
            done_ = 0;
            total_ = -1;
        }
        RunJob(job);
        if (cache_) cache_->Save();
        AddItem done;
        done.kind = AddItem::Kind::Done;
        done.job = job.id;
        {
            std::lock_guard lock(mutex_);
            running_ = 0;
            // A cancelled add already reported its end.
            if (!Cancelled(job.id)) out_.push_back(std::move(done));
        }
        if (onItems) onItems();
    }
}

void AddQueue::RunJob(Job& job) {
    if (job.rescan) {
        total_ = static_cast<int32_t>(job.paths.size());
        ScanAll(job, job.paths, true);
        return;
    }
    if (job.paths.empty()) return;
    if (IsListFileName(job.paths.front())) {
        AddItem item;
        item.kind = AddItem::Kind::LoadList;
        item.job = job.id;
        item.path = job.paths.front();
        Push(std::move(item));
        return;
    }
    // Files named directly are read first-come; folders are searched whole, then read.
    std::vector<std::string> batch;
    auto flush = [&] {
        ScanAll(job, batch, false);
        batch.clear();
    };
    for (const std::string& path : job.paths) {
        if (Cancelled(job.id)) return;
        const FileKind kind = KindOfFile(path);
        if (kind == FileKind::Regular) {
            batch.push_back(path);
            continue;
        }
        if (kind != FileKind::Folder || path.empty()) {
            flush();
            AddItem item;
            item.kind = AddItem::Kind::Unreadable;
            item.job = job.id;
            item.path = path;
            Push(std::move(item));
            continue;
        }
        FolderSearch search;
        search.SearchFolder(path, ChartFilePatterns(job.reading ? &*job.reading : nullptr));
        batch.insert(batch.end(), search.SearchResults.begin(), search.SearchResults.end());
        flush();
        for (const std::string& lost : search.TooLongResults) {
            AddItem item;
            item.kind = AddItem::Kind::Unreadable;
            item.job = job.id;
            item.path = lost;
            Push(std::move(item));
        }
    }
    flush();
}

void AddQueue::ScanAll(const Job& job, const std::vector<std::string>& paths, bool asRescan) {
    if (paths.empty() || Cancelled(job.id)) return;
    if (!asRescan) total_ = done_ + static_cast<int32_t>(paths.size());
    const ChartReading* reading = job.reading ? &*job.reading : nullptr;
    const std::size_t n = paths.size();
    std::atomic<std::size_t> next{0};
    std::mutex slotsMutex;
    std::vector<std::optional<std::optional<ScanResult>>> slots(n);
    std::size_t emitted = 0;

    auto work = [&] {
        while (!Cancelled(job.id)) {
            const std::size_t i = next++;
            if (i >= n) return;
            std::optional<ScanResult> r = cache_ ? cache_->Scan(paths[i], reading) : ScanChartFile(paths[i], reading);
            std::lock_guard lock(slotsMutex);
            slots[i] = std::move(r);
            // Results leave in list order, whichever thread read them.
            while (emitted < n && slots[emitted]) {
                std::optional<ScanResult>& got = *slots[emitted];
                AddItem item;
                item.job = job.id;
                item.index = static_cast<int32_t>(emitted);
                if (asRescan) {
                    if (got) {
                        item.kind = job.countsOnly ? AddItem::Kind::Counted : AddItem::Kind::Rescanned;
                        item.result = std::move(*got);
                        Push(std::move(item));
                    }
                } else {
                    // A file gone since the search: an empty entry, as a direct add gives.
                    if (got) item.result = std::move(*got);
                    else item.path = paths[emitted];
                    Push(std::move(item));
                }
                slots[emitted].reset();
                ++emitted;
                ++done_;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads_ && static_cast<std::size_t>(t) < n; ++t) helpers.emplace_back(work);
    work();
    for (std::thread& h : helpers) h.join();
}

bool ApplyAddItems(const std::vector<AddItem>& items, PlayList& list) {
    bool appended = false;
    for (const AddItem& item : items) {
        switch (item.kind) {
            case AddItem::Kind::Entry:
                if (!item.path.empty()) list.GetShell().ReportUnreadable(item.path);
                list.AppendScanned(item.result.info, item.result.soundingObjects, false,
                                   item.path.empty() ? &item.result.choice : nullptr);
                appended = true;
                break;
            case AddItem::Kind::LoadList:
                list.LoadPlayList(item.path, false);
                appended = true;
                break;
            case AddItem::Kind::Unreadable:
                list.GetShell().ReportUnreadable(item.path);
                break;
            case AddItem::Kind::Rescanned:
                list.ReplaceEntry(item.index + 1, item.result.info, item.result.soundingObjects, &item.result.choice);
                break;
            case AddItem::Kind::Counted:
                if (item.index + 1 < static_cast<int32_t>(list.PlayListEntries().size()) &&
                    list.PlayListEntries()[static_cast<std::size_t>(item.index) + 1].FilePath == item.result.info.FilePath)
                    list.SetSoundingObjects(item.index + 1, item.result.soundingObjects);
                break;
            case AddItem::Kind::Done:
                break;
        }
    }
    if (appended) list.UpdatePlayListCaption();
    return appended;
}

}  // namespace jov
