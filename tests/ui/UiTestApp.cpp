#include "UiTestApp.h"

#include <QApplication>

namespace kobal::test {
void ensureUiApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}
} // namespace kobal::test
