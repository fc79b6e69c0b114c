#pragma once
// Finding a running window by its title and talking to it: a local socket in the runtime
// folder named after the title. Messages are lines: "copydata <n> <text>" (answered with a
// line holding the receiver's result), "close" and "activate" (raise your window: a desktop
// does not let one program raise another's window, so the running one raises itself).
#include <functional>
#include <memory>
#include <string>

namespace kobal {

class Messenger {
public:
    // True when a window with that title is listening.
    static bool windowExists(const std::string& title);
    // Sends copy-data n with a UTF-8 text (any bytes, newlines included) and waits up to
    // timeoutMs for the answer. Returns the receiver's result, or -1 when nobody answered.
    // Any thread; never from the thread that runs the receiving server (it could not answer).
    static long sendCopyData(const std::string& title, unsigned long n, const std::string& text,
                             int timeoutMs = 1000);
    // Posts "close" (no answer awaited). False when no such window.
    static bool postClose(const std::string& title);
    // Posts "activate" (no answer awaited). False when no such window.
    static bool postActivate(const std::string& title);
};

// The receiving side; lives on the thread of a Qt event loop (the UI thread), where both
// handlers run. The copy-data handler's result is the sender's answer; the close handler runs
// from the event loop after the message, so it may destroy the server. When a live server
// already has the title, listening() is false; a socket left by a crashed one is replaced.
class MessengerServer {
public:
    using CopyDataHandler = std::function<long(unsigned long n, const std::string& text)>;
    using CloseHandler = std::function<void()>;
    MessengerServer(const std::string& title, CopyDataHandler onCopyData, CloseHandler onClose);
    ~MessengerServer();
    bool listening() const;
    // "activate" runs this from the event loop, like the close handler.
    void setActivateHandler(CloseHandler onActivate);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace kobal
