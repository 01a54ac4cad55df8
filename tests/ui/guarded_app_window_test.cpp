// A window reaction that lets an exception out: caught where events are delivered,
// reported, and the event loop goes on.
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include "ui/guarded_application.h"

namespace {

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("out of memory");
        return QObject::event(e);
    }
};

class GuardedAppTest : public QObject {
    Q_OBJECT
private slots:
    void escapedExceptionsAreCaughtAndReported() {
        auto* app = static_cast<jov::GuardedApplication*>(QCoreApplication::instance());
        std::string told;
        app->onFailure = [&](const std::string& what) { told = what; };
        Thrower t;
        QEvent e(QEvent::User);
        QCoreApplication::sendEvent(&t, &e);
        QCOMPARE(told, std::string("out of memory"));
        // A queued reaction and a timer still run afterwards.
        bool ran = false;
        QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
        QTimer::singleShot(0, [&] { ran = true; });
        QTRY_VERIFY(ran);
        QCOMPARE(app->Failures(), 2);
    }
};

}  // namespace

int main(int argc, char** argv) {
    jov::GuardedApplication app(argc, argv);
    GuardedAppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "guarded_app_window_test.moc"
