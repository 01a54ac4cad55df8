#pragma once
// The program's status line: a file check, a sink for progress texts, and the one
// way of setting the main window's caption. The window (or a test) observes them
// through StatusSink.
#include <string>

#include "shell/file_read.h"

namespace jov {

class StatusSink {
public:
    virtual ~StatusSink() = default;
    // The whole caption text, already followed by " - jov:01".
    virtual void OnCaption(const std::string& caption) = 0;
    // A progress or error text; nothing shows it, but tests may watch it.
    virtual void OnStatus(const std::string& /*text*/) {}
};

class Shell {
public:
    explicit Shell(StatusSink* sink = nullptr) : sink_(sink) {}
    void SetSink(StatusSink* sink) { sink_ = sink; }

    // True when the file can be opened for reading and holds at most maxBytes (a chart's
    // limit unless told otherwise); otherwise reports "Err[not exist] :" + the file's name
    // and returns false.
    bool FileExists(const std::string& path, std::size_t maxBytes = kMaxInputBytes);
    // The file check's message for a file that cannot be used.
    void ReportUnreadable(const std::string& path);
    void SetStatus(const std::string& text);
    void SetCaption(const std::string& text);

    const std::string& Caption() const { return caption_; }
    const std::string& LastStatus() const { return status_; }

private:
    StatusSink* sink_;
    std::string caption_;
    std::string status_;
};

}  // namespace jov
