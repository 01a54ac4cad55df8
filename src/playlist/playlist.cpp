#include "playlist/playlist.h"

#include <cstdlib>
#include <cstdint>
#include <limits>

#include "chart/entry_line.h"
#include "chart/header_scan.h"
#include "playlist/scan_cache.h"
#include "playlist/list_file.h"
#include "shell/file_read.h"
#include "shell/paths.h"
#include "shell/status.h"

namespace jov {

namespace {

// At least two digits, a minus sign ahead of them when negative.
std::string TwoDigits(int64_t v) {
    std::string text = v < 0 ? "-" : "";
    const std::string digits = std::to_string(v < 0 ? -v : v);
    if (digits.size() < 2) text += '0';
    text += digits;
    return text;
}

}  // namespace

std::optional<std::string> FormatPlayListSummary(int32_t count, int64_t totalMs) {
    if (totalMs < std::numeric_limits<int32_t>::min() || totalMs > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    const int64_t s = totalMs / 1000;
    std::string text = "[";
    text += std::to_string(count);
    text += "songs/";
    text += TwoDigits(s / 3600);
    text += ':';
    text += TwoDigits((s % 3600) / 60);
    text += ':';
    text += TwoDigits(s % 60);
    text += ']';
    return text;
}

void PlayList::AppendLine(const ChartInfo& entry) {
    lines_.push_back(FormatEntryLine(entry));
    if (view_) view_->OnLineAdded(lines_.back());
}

void PlayList::Message(MessageIcon icon, const std::string& text) {
    if (messages_) messages_->ShowMessage(icon, "error", text);
}

void PlayList::AddPlayListEntry(const std::string& path) {
    std::optional<ScanResult> scan;
    if (shell_.FileExists(path)) scan = ScanChartFile(path, reading_);
    if (!scan) {
        AppendScanned(ChartInfo{}, 0);
        return;
    }
    AppendScanned(scan->info, scan->soundingObjects, true, &scan->choice);
}

void PlayList::AppendScanned(const ChartInfo& entry, int32_t soundingObjects, bool showCaption,
                             const ReadingChoice* choice) {
    if (count_ == std::numeric_limits<int32_t>::max()) return;
    if (entries_.empty()) entries_.emplace_back();  // the placeholder
    sounding_.resize(entries_.size(), -1);
    ++count_;
    entries_.push_back(entry);
    sounding_.push_back(soundingObjects);
    if (choice) readingOf_[entry.FilePath] = *choice;
    AppendLine(entry);
    totalTime_ += entry.PlayTime;
    if (showCaption) UpdatePlayListCaption();
}

void PlayList::ReplaceEntry(int32_t index, const ChartInfo& entry, int32_t soundingObjects,
                            const ReadingChoice* choice) {
    if (index < 1 || index > count_) return;
    ChartInfo& old = entries_[static_cast<std::size_t>(index)];
    if (old.FilePath != entry.FilePath) return;
    if (choice) readingOf_[entry.FilePath] = *choice;
    totalTime_ += int64_t{entry.PlayTime} - old.PlayTime;
    old = entry;
    SetSoundingObjects(index, soundingObjects);
    lines_[static_cast<std::size_t>(index) - 1] = FormatEntryLine(entry);
    if (view_) view_->OnLineChanged(index - 1, lines_[static_cast<std::size_t>(index) - 1]);
    UpdatePlayListCaption();
}

bool PlayList::Reorder(const std::vector<int32_t>& order) {
    if (order.size() != static_cast<std::size_t>(count_)) return false;
    std::vector<bool> seen(order.size() + 1, false);
    for (int32_t i : order) {
        if (i < 1 || i > count_ || seen[static_cast<std::size_t>(i)]) return false;
        seen[static_cast<std::size_t>(i)] = true;
    }
    sounding_.resize(entries_.size(), -1);
    std::vector<ChartInfo> entries{entries_[0]};
    std::vector<int32_t> sounding{sounding_[0]};
    std::vector<std::string> lines;
    entries.reserve(entries_.size());
    for (int32_t i : order) {
        const auto k = static_cast<std::size_t>(i);
        entries.push_back(std::move(entries_[k]));
        sounding.push_back(sounding_[k]);
        lines.push_back(std::move(lines_[k - 1]));
    }
    entries_ = std::move(entries);
    sounding_ = std::move(sounding);
    lines_ = std::move(lines);
    if (view_) view_->OnLinesReplaced(lines_);
    return true;
}

void PlayList::SetSoundingObjects(int32_t index, int32_t count) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
    sounding_.resize(entries_.size(), -1);
    sounding_[static_cast<std::size_t>(index)] = count;
}

void PlayList::ForgetReadings() { readingOf_.clear(); }

std::optional<ReadingChoice> PlayList::ReadingOfLine(int line) {
    if (line < 0 || line >= count_) return std::nullopt;
    const std::string& path = entries_[static_cast<std::size_t>(line) + 1].FilePath;
    if (auto it = readingOf_.find(path); it != readingOf_.end()) return it->second;
    // An entry from a list file: its chart is read once to tell.
    const std::optional<std::string> bytes = ReadRegularFile(path, size_t{256} << 20);
    if (!bytes) return std::nullopt;
    const ReadingChoice choice = ChooseReading(reading_, *bytes);
    readingOf_[path] = choice;
    return choice;
}

void PlayList::RemovePlayListEntry(int line) {
    if (line < 0 || line >= count_) return;
    const std::size_t index = static_cast<std::size_t>(line) + 1;
    totalTime_ -= entries_[index].PlayTime;
    if (index < sounding_.size()) sounding_.erase(sounding_.begin() + static_cast<std::ptrdiff_t>(index));
    lines_.erase(lines_.begin() + line);
    if (view_) view_->OnLineRemoved(line);
    --count_;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    UpdatePlayListCaption();
}

void PlayList::ClearPlayList() {
    readingOf_.clear();
    count_ = 0;
    totalTime_ = 0;
    PlayOrderIndex = 0;
    entries_.clear();
    entries_.shrink_to_fit();
    sounding_.clear();
    lines_.clear();
    if (view_) view_->OnLinesCleared();
    UpdatePlayListCaption();
}

bool PlayList::LoadPlayList(const std::string& path, bool silent) {
    // A list is read only as far as its count reaches, whatever its size.
    if (!shell_.FileExists(path, SIZE_MAX)) {
        if (!silent) Message(MessageIcon::Warning, "listfile " + path + "is not exist.");
        return false;
    }
    ClearPlayList();
    std::string bytes;
    bool ok = ReadListFileBytes(path, bytes);
    if (ok) {
        ListFileContents contents = ParseListFile(bytes);
        ok = contents.ok;
        entries_ = std::move(contents.entries);
        count_ = contents.count;
        sounding_.assign(entries_.size(), -1);
        lines_.reserve(static_cast<std::size_t>(count_));
        for (int32_t i = 1; i <= count_; ++i) {
            const ChartInfo& e = entries_[static_cast<std::size_t>(i)];
            AppendLine(e);
            totalTime_ += e.PlayTime;
        }
    }
    if (!ok && !silent) Message(MessageIcon::Error, "an error occured in list loading process!");
    UpdatePlayListCaption();
    return ok;
}

bool PlayList::SavePlayList(const std::string& path, bool silent) {
    AtomicWriteOptions options;
    if (saveFailAfterRecords_ >= 0) options.failAfterBytes = ListFileRecordEnd(entries_, saveFailAfterRecords_);
    const bool ok = WriteFileAtomically(path, EncodeListFile(entries_, count_), options);
    if (!ok && !silent) Message(MessageIcon::Error, "an error occured in list saving process!");
    UpdatePlayListCaption();
    return ok;
}

void PlayList::UpdatePlayListCaption() {
    // A total beyond 32 bits cannot be shown; the summary keeps its last text.
    if (auto text = FormatPlayListSummary(count_, totalTime_)) summary_ = std::move(*text);
    shell_.SetCaption(summary_);
}

}  // namespace jov
