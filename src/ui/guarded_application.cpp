#include "ui/guarded_application.h"

#include <cstdio>
#include <exception>

namespace jov {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    std::string what;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown failure";
    }
    ++failures_;
    std::fprintf(stderr, "jov01: a window reaction failed: %s\n", what.c_str());
    if (onFailure) onFailure(what);
    return false;
}

}  // namespace jov
