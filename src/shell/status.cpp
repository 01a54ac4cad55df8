#include "shell/status.h"

#include "shell/file_read.h"

namespace jov {

bool Shell::FileExists(const std::string& path, std::size_t maxBytes) {
    // Opened without reading, and only when it is a regular file: a FIFO or a device
    // named here would block or never end in the reader that follows; a file too large
    // to read whole is as unreadable as a missing one.
    if (ReadableFile(path, maxBytes)) return true;
    ReportUnreadable(path);
    return false;
}

void Shell::ReportUnreadable(const std::string& path) {
    auto slash = path.find_last_of('/');
    SetStatus("Err[not exist] :" + (slash == std::string::npos ? path : path.substr(slash + 1)));
}

void Shell::SetStatus(const std::string& text) {
    status_ = text.empty() ? std::string("Ready.") : text;
    if (sink_) sink_->OnStatus(status_);
}

void Shell::SetCaption(const std::string& text) {
    caption_ = text + " - " + "jov:01";
    if (sink_) sink_->OnCaption(caption_);
}

}  // namespace jov
