#pragma once
// A posted application message (WM_APP + n and the like) as a Qt event: the number, the
// control id (wParam) and the value (lParam). Controls post it to their parent window, which
// reads it in event() on the UI thread.
#include <QEvent>

namespace kobal {

class AppMessageEvent : public QEvent {
public:
    static QEvent::Type eventType() {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    AppMessageEvent(unsigned message, long long wParam, long long lParam)
        : QEvent(eventType()), message(message), wParam(wParam), lParam(lParam) {}
    const unsigned message;
    const long long wParam;
    const long long lParam;
};

constexpr unsigned kWmApp = 0x8000;
// The bitmap slider's notifications.
constexpr unsigned kSliderDragging = kWmApp + 1005; // 0x83ED
constexpr unsigned kSliderChanged = kWmApp + 1006;  // 0x83EE

} // namespace kobal
