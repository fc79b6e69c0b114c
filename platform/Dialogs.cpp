#include "platform/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QThread>
#include <cstdio>
#include <mutex>

namespace kobal {
namespace {

std::mutex g_mutex;
MessageBoxHandler g_messageBox;
ModalHandler g_modal;

// A real window system is needed for a person to answer; offscreen and minimal platforms
// (tests, CI, tools) get the unattended answers.
bool interactive() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int defaultButton(unsigned flags) {
    const bool second = (flags & 0xF00) == MB_DEFBUTTON2;
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        return second ? IDCANCEL : IDOK;
    case MB_YESNO:
        return second ? IDNO : IDYES;
    case MB_YESNOCANCEL:
        return second ? IDNO : IDYES;
    default:
        return IDOK;
    }
}

int showBox(const MessageBoxRequest& r) {
    QMessageBox box;
    box.setWindowTitle(QString::fromUtf8(r.title.c_str()));
    // Texts carry file names and server replies: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromUtf8(r.text.c_str()));
    switch (r.flags & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    if (r.flags & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    QMessageBox::StandardButtons buttons;
    switch (r.flags & 0xF) {
    case MB_OKCANCEL:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MB_YESNO:
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case MB_YESNOCANCEL:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    default:
        buttons = QMessageBox::Ok;
        break;
    }
    box.setStandardButtons(buttons);
    const int def = defaultButton(r.flags);
    box.setDefaultButton(def == IDOK       ? QMessageBox::Ok
                         : def == IDCANCEL ? QMessageBox::Cancel
                         : def == IDNO     ? QMessageBox::No
                                           : QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

int defaultMessageBox(const MessageBoxRequest& r) {
    if (!interactive()) {
        std::fprintf(stderr, "[%s] %s\n", r.title.c_str(), r.text.c_str());
        return defaultButton(r.flags);
    }
    // Widgets live on the UI thread; an engine thread asking waits for the answer there.
    QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (QThread::currentThread() == app->thread()) return showBox(r);
    int result = IDCANCEL;
    QMetaObject::invokeMethod(
        app, [&] { result = showBox(r); }, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace

int messageBox(const std::string& text, const std::string& title, unsigned flags) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_messageBox;
    }
    MessageBoxRequest r{text, title, flags};
    return handler ? handler(r) : defaultMessageBox(r);
}

int runModal(QDialog& dialog) {
    ModalHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_modal;
    }
    if (handler) return handler(dialog);
    if (!interactive()) return QDialog::Rejected;
    return dialog.exec();
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(g_messageBox, handler);
    return handler;
}

ModalHandler setModalHandler(ModalHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(g_modal, handler);
    return handler;
}

} // namespace kobal
