#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "chart/extended_reader.h"
#include "playlist/folder_search.h"
#include "playlist/playlist.h"
#include "shell/json.h"
#include "shell/status.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"
#include "tool/tool_json.h"

namespace jov::tool {

namespace {

// Message boxes become lines on standard error; any of them makes the exit code 1.
class StderrMessages : public MessageHook {
public:
    void ShowMessage(MessageIcon, const std::string&, const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        shown = true;
    }
    bool shown = false;
};

void WriteEntry(JsonWriter& w, const ChartInfo& e) {
    w.BeginObject();
    WriteChartInfoMembers(w, e);
    w.EndObject();
}

void PrintList(const PlayList& list) {
    JsonWriter w;
    w.BeginObject();
    w.Key("PlayListCount").Int(list.PlayListCount());
    w.Key("Entries").BeginArray();
    const auto& entries = list.PlayListEntries();
    for (std::size_t i = 1; i < entries.size(); ++i) WriteEntry(w, entries[i]);
    w.EndArray();
    w.Key("Lines").BeginArray();
    for (const auto& line : list.Lines()) w.String(line);
    w.EndArray();
    w.Key("Summary").String(list.Summary());
    w.EndObject();
    std::fwrite(w.str().data(), 1, w.str().size(), stdout);
    std::fputc('\n', stdout);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int CmdList(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs r = TakeReadingArgs(args, "list");
    if (!r.ok) {
        return 2;
    }
    ChartReading reading = MakeReading(r);
    Shell shell;
    PlayList list(shell);
    list.SetReading(&reading);
    StderrMessages messages;
    list.SetMessageHook(&messages);

    if (args.size() == 1 && args[0] != "--write") {
        list.LoadPlayList(args[0], false);
        PrintList(list);
        return messages.shown ? 1 : 0;
    }
    if (args.size() < 3 || args[0] != "--write") {
        std::fputs("usage: jov01-tool list FILE.rxl | list --write OUT.rxl CHART...\n", stderr);
        return 2;
    }

    const std::string& out = args[1];
    const std::vector<std::string> paths(args.begin() + 2, args.end());
    bool missing = false;
    const std::string& first = paths.front();
    bool listFirst = false;
    if (first.size() >= 4) {
        std::string tail = first.substr(first.size() - 4);
        for (char& c : tail) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        listFirst = tail == ".RXL";
    }
    // A list file given first reports its own failure; other paths that are neither a
    // readable file nor a folder add nothing and are named on one error line.
    std::string notFound;
    if (!listFirst) {
        for (const std::string& path : paths) {
            Shell probe;
            if (!probe.FileExists(path) && !IsFolder(path)) {
                notFound += (notFound.empty() ? "" : ", ") + path;
                missing = true;
            }
        }
    }
    if (missing) std::fprintf(stderr, "not found: %s\n", notFound.c_str());

    FolderSearch search;
    AddDroppedItems(paths, list, search);
    list.SavePlayList(out, false);
    PrintList(list);
    return (missing || messages.shown) ? 1 : 0;
}

}  // namespace jov::tool
