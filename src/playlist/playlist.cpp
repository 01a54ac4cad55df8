#include "playlist/playlist.h"

#include <cstdlib>
#include <cstdint>
#include <limits>

#include "chart/entry_line.h"
#include "chart/header_scan.h"
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
    if (count_ == std::numeric_limits<int32_t>::max()) return;
    if (entries_.empty()) entries_.emplace_back();  // the placeholder
    ++count_;
    entries_.resize(static_cast<std::size_t>(count_) + 1);
    ChartInfo& entry = entries_.back();
    if (shell_.FileExists(path)) {
        ReadingChoice choice;
        ScanHeaders(path, entry, shell_, reading_, &choice);
        readingOf_[path] = choice;
    }
    AppendLine(entry);
    totalTime_ += entry.PlayTime;
    UpdatePlayListCaption();
}

void PlayList::RereadEntries() {
    readingOf_.clear();
    for (int32_t i = 1; i <= count_; ++i) {
        ChartInfo& entry = entries_[static_cast<std::size_t>(i)];
        const std::string path = entry.FilePath;
        if (!shell_.FileExists(path)) continue;
        ChartInfo fresh;
        ReadingChoice choice;
        ScanHeaders(path, fresh, shell_, reading_, &choice);
        readingOf_[path] = choice;
        totalTime_ += int64_t{fresh.PlayTime} - entry.PlayTime;
        entry = std::move(fresh);
        std::string& line = lines_[static_cast<std::size_t>(i - 1)];
        line = FormatEntryLine(entry);
        if (view_) view_->OnLineChanged(i - 1, line);
    }
    UpdatePlayListCaption();
}

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
