#include "app/SystemEvents.h"

#include "tuner/CTDMBDll.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QSocketNotifier>
#include <libudev.h>

namespace kobal {
namespace {
constexpr const char* kSaverService = "org.freedesktop.ScreenSaver";
constexpr const char* kSaverPath = "/org/freedesktop/ScreenSaver";
} // namespace

SystemEvents::SystemEvents(QObject* parent) : QObject(parent) {
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected())
        system.connect("org.freedesktop.login1", "/org/freedesktop/login1",
                       "org.freedesktop.login1.Manager", "PrepareForSleep", this,
                       SLOT(onPrepareForSleep(bool)));
    watchUdev();
    // The simulator's unplug and replug come on the caller's thread: bring them here.
    QPointer<SystemEvents> self(this);
    veltra::sim::setDeviceChangeCallback([self] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) emit self->devicesChanged();
            },
            Qt::QueuedConnection);
    });
}

SystemEvents::~SystemEvents() {
    veltra::sim::setDeviceChangeCallback({});
    releaseScreenSaver();
    delete notifier_;
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

void SystemEvents::watchUdev() {
    udev_ = udev_new();
    if (!udev_) return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "dvb", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        if (monitor_) udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return; // no udev (containers): the simulator's plug still works
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        bool any = false;
        while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
            udev_device_unref(dev);
            any = true;
        }
        if (any) emit devicesChanged();
    });
}

void SystemEvents::onPrepareForSleep(bool sleeping) {
    emit prepareForSleep(sleeping);
}

void SystemEvents::inhibitScreenSaver() {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (inhibitAsked_ || !session.isConnected()) return;
    inhibitAsked_ = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kSaverService, kSaverPath, kSaverService, "Inhibit");
    call << QStringLiteral("kobal_player") << QStringLiteral("watching television");
    auto* watcher = new QDBusPendingCallWatcher(session.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<uint> reply = *w;
        if (!reply.isError()) {
            cookie_ = reply.value();
            // Released before the answer came: give it back now.
            if (!inhibitAsked_) releaseScreenSaver();
        }
        w->deleteLater();
    });
}

void SystemEvents::releaseScreenSaver() {
    inhibitAsked_ = false;
    if (!cookie_) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kSaverService, kSaverPath, kSaverService, "UnInhibit");
    call << cookie_;
    cookie_ = 0;
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

} // namespace kobal
