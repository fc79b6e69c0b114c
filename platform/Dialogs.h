#pragma once
// Every message box and modal dialog of the programs goes through here, so tests can answer
// them without a person. The default handlers show real Qt boxes when a display is present;
// on the offscreen platform (tests, CI) a message box prints to stderr and returns its default
// button, and a modal dialog is rejected.
#include <functional>
#include <string>

class QDialog;

namespace kobal {

// Windows MessageBox flags and results, kept because callers test them numerically.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_TOPMOST = 0x40000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
    std::string text;  // UTF-8
    std::string title; // UTF-8
    unsigned flags = MB_OK;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
// Runs a dialog modally; returns what QDialog::exec would (1 accepted, 0 rejected).
using ModalHandler = std::function<int(QDialog&)>;

int messageBox(const std::string& text, const std::string& title, unsigned flags = MB_OK);
int runModal(QDialog& dialog);

// Replace the handlers (empty function restores the default). Returns the previous one.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);
ModalHandler setModalHandler(ModalHandler handler);

} // namespace kobal
