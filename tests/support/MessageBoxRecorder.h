#pragma once
// Stands in for the user at the message boxes of a test.
#include "platform/Dialogs.h"

#include <string>
#include <vector>

namespace kobal::test {

// While it lives, every message box is kept here instead of shown and answered at once: a box
// with only an OK button gets IDOK, one that asks gets `answer`. Ending restores the default.
struct MessageBoxRecorder {
    MessageBoxRecorder() {
        setMessageBoxHandler([this](const MessageBoxRequest& r) {
            shown.push_back(r);
            texts.push_back(r.text);
            titled.push_back(r.title + ": " + r.text);
            return (r.flags & 0xF) == MB_OK ? int(IDOK) : answer;
        });
    }
    ~MessageBoxRecorder() { setMessageBoxHandler({}); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    int answer = IDOK;
    std::vector<MessageBoxRequest> shown; // each box in order
    std::vector<std::string> texts;       // its text
    std::vector<std::string> titled;      // "title: text"
};

} // namespace kobal::test
