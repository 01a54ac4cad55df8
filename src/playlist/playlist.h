#pragma once
// The playlist: entries (element 0 a placeholder), their count, the running total of
// playing time, the list lines the window mirrors, and the list file.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_model.h"
#include "chart/reading.h"

namespace jov {

class Shell;

// The window's list box follows these; line k shows entry k + 1.
class PlayListView {
public:
    virtual ~PlayListView() = default;
    virtual void OnLineAdded(const std::string& line) = 0;
    virtual void OnLineRemoved(int line) = 0;
    virtual void OnLinesCleared() = 0;
    // A caption set as a whole (the folder search's progress), not through SetCaption.
    virtual void OnCaptionSet(const std::string& /*caption*/) {}
    // Line `line` now reads `text` (an entry read afresh).
    virtual void OnLineChanged(int /*line*/, const std::string& /*text*/) {}
    // Every line at once, in a new order.
    virtual void OnLinesReplaced(const std::vector<std::string>& lines) {
        OnLinesCleared();
        for (const std::string& l : lines) OnLineAdded(l);
    }
};

enum class MessageIcon { Warning, Error };

// Modal message boxes; the window shows them, tests record them.
class MessageHook {
public:
    virtual ~MessageHook() = default;
    virtual void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) = 0;
};

class PlayList {
public:
    explicit PlayList(Shell& shell) : shell_(shell) {}

    void SetView(PlayListView* view) { view_ = view; }
    void SetMessageHook(MessageHook* hook) { messages_ = hook; }
    // Tests: make the next saves fail after writing this many records (-1: never).
    void SetSaveFailureAfterRecords(int records) { saveFailAfterRecords_ = records; }

    const std::vector<ChartInfo>& PlayListEntries() const { return entries_; }
    int32_t PlayListCount() const { return count_; }
    int64_t PlayListTotalTime() const { return totalTime_; }
    const std::vector<std::string>& Lines() const { return lines_; }
    // The last summary text shown in the caption, e.g. "[3songs/00:04:05]".
    const std::string& Summary() const { return summary_; }
    Shell& GetShell() { return shell_; }
    // The reading the header scan and the folder search use (Classic when null).
    void SetReading(ChartReading* reading) { reading_ = reading; }
    const ChartReading* Reading() const { return reading_; }
    // After a change of reading: how each line is read is told afresh (by the re-scan's
    // results, or by reading the chart when asked first).
    void ForgetReadings();
    // How the chart of `line` is read now (its file is read when no scan has told yet);
    // nothing when no line or no readable chart is there.
    std::optional<ReadingChoice> ReadingOfLine(int line);

    // Position in the play order of the chart last started; 0 = none yet.
    int32_t PlayOrderIndex = 0;

    void AddPlayListEntry(const std::string& path);
    // Appends an entry already scanned (a background add), as AddPlayListEntry does; a
    // batch may show the caption once, after its last entry. `choice`: the reading the
    // scan gave the chart (none when it could not be read).
    void AppendScanned(const ChartInfo& entry, int32_t soundingObjects, bool showCaption = true,
                       const ReadingChoice* choice = nullptr);
    // Entry `index` (1..count) read afresh; ignored when it is no longer that file.
    void ReplaceEntry(int32_t index, const ChartInfo& entry, int32_t soundingObjects,
                      const ReadingChoice* choice = nullptr);
    // Entries 1..count in the order `order` (a permutation of 1..count); the lines follow.
    bool Reorder(const std::vector<int32_t>& order);
    // How many objects of each entry sound, indexed as PlayListEntries; -1 when not
    // known (entries read from a list file).
    const std::vector<int32_t>& SoundingObjects() const { return sounding_; }
    void SetSoundingObjects(int32_t index, int32_t count);
    void RemovePlayListEntry(int line);
    void ClearPlayList();
    // Both return false when the operation reported (or, silent, would have reported) an error.
    bool LoadPlayList(const std::string& path, bool silent);
    bool SavePlayList(const std::string& path, bool silent);
    void UpdatePlayListCaption();
    // Sets the whole caption text as it stands (the folder search's progress).
    void ShowWholeCaption(const std::string& caption) {
        if (view_) view_->OnCaptionSet(caption);
    }

private:
    void AppendLine(const ChartInfo& entry);
    void Message(MessageIcon icon, const std::string& text);

    Shell& shell_;
    ChartReading* reading_ = nullptr;
    std::map<std::string, ReadingChoice> readingOf_;  // by path, from the scans so far
    PlayListView* view_ = nullptr;
    MessageHook* messages_ = nullptr;
    std::vector<ChartInfo> entries_;
    std::vector<int32_t> sounding_;
    int32_t count_ = 0;
    int64_t totalTime_ = 0;
    std::vector<std::string> lines_;
    std::string summary_ = "[0songs/00:00:00]";
    int saveFailAfterRecords_ = -1;
};

// "[" count "songs/" hh:mm:ss "]" for a total in milliseconds; nothing when the total
// does not fit 32 bits.
std::optional<std::string> FormatPlayListSummary(int32_t count, int64_t totalMs);

}  // namespace jov
