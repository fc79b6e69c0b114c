// The Qt parts of the test support: the one application object and waiting with events.
#include "TestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <thread>

namespace kobal::test {

void ensureQtApp(QtApp kind) {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "kobal_tests";
    static char* argv[] = {name, nullptr};
    switch (kind) {
    case QtApp::Core:
        new QCoreApplication(argc, argv);
        break;
    case QtApp::Gui:
        new QGuiApplication(argc, argv);
        break;
    case QtApp::Widgets:
        new QApplication(argc, argv);
        break;
    }
}

namespace {

bool waitWith(const std::function<bool()>& done, std::chrono::milliseconds limit, bool pump) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limit.count()) return done();
        if (pump && QCoreApplication::instance()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               bool pumpEvents) {
    return waitWith(done, limit, pumpEvents);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return waitWith(done, limit, true);
}

void pumpFor(std::chrono::milliseconds time) {
    waitWith([] { return false; }, time, true);
}

} // namespace kobal::test
