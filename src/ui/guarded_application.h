#pragma once
// The application object: every window reaction (an event, a timer, a queued call) is
// delivered through notify(), the one place an exception that a reaction let out is
// caught. Qt cannot carry an exception through its event loop; the reaction is dropped
// instead, and the program goes on.
#include <QApplication>

#include <functional>
#include <string>

namespace jov {

class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;

    // Told what escaped (the window shows it on its status line).
    std::function<void(const std::string& what)> onFailure;
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

}  // namespace jov
