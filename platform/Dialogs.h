#pragma once
// Every message box and modal dialog of the programs goes through here, so tests can answer
// them without a person. The default handlers show real Qt boxes when a display is present;
// on the offscreen platform (tests, CI) a message box prints to stderr and returns its default
// button, and a modal dialog is rejected.
#include "platform/MessageBoxCodes.h"

#include <functional>
#include <string>

class QDialog;

namespace kobal {

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
