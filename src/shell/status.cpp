#include "shell/status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jov {

bool Shell::FileExists(const std::string& path) {
    // open(2) without reading: no buffering, and a file a caller holds open is not disturbed.
    bool ok = false;
    if (!path.empty()) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            struct stat st {};
            ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
            ::close(fd);
        }
    }
    if (ok) return true;
    auto slash = path.find_last_of('/');
    SetStatus("Err[not exist] :" + (slash == std::string::npos ? path : path.substr(slash + 1)));
    return false;
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
