#include "ChannelsTestApp.h"

#include <QApplication>

namespace kobal::test {
void ensureQtApp() {
    static int argc = 1;
    static char name[] = "channels_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}
} // namespace kobal::test
