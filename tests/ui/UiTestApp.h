#pragma once
// The widget tests need one QApplication for the whole test process.
namespace kobal::test {
void ensureUiApp();
}
