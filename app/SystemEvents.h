#pragma once
// What the desktop tells the player, and the one thing the player asks of it:
//  - the screen saver is inhibited while the player runs (org.freedesktop.ScreenSaver);
//  - logind's PrepareForSleep (system bus) stands for suspend and resume;
//  - a udev monitor of the "dvb" subsystem, and the simulator's plug, stand for the device
//    node notifications.
// Every D-Bus call is asynchronous and any failure (no bus, no service) is ignored, so the
// UI thread never waits for the desktop. Lives on the UI thread; the signals arrive there.
#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace kobal {

class SystemEvents : public QObject {
    Q_OBJECT
public:
    explicit SystemEvents(QObject* parent = nullptr);
    ~SystemEvents() override;

    void inhibitScreenSaver();
    void releaseScreenSaver();

signals:
    // A device node of a tuner came or went (or the simulator was unplugged or replugged).
    void devicesChanged();
    // true before the machine sleeps, false after it woke.
    void prepareForSleep(bool sleeping);

private slots:
    void onPrepareForSleep(bool sleeping);

private:
    void watchUdev();

    ::udev* udev_ = nullptr;
    ::udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    uint cookie_ = 0;
    bool inhibitAsked_ = false;
};

} // namespace kobal
