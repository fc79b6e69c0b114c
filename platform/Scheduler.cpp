#include "Scheduler.h"

#include "Paths.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kobal {
namespace {

std::function<void(const std::string&)>& failureHandler() {
    static std::function<void(const std::string&)> h;
    return h;
}

const char* const kUnavailableText =
    "systemctl が使えないため、プレーヤーを閉じている間の予約録画の起動は登録できません。"
    "予約はプレーヤーの起動中に録画されます。";

bool writeUnit(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return false;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Runs the systemctl calls one after another without blocking; the first failure is reported
// and ends the chain. done runs at the end either way.
void runChain(std::vector<QStringList> calls, std::function<void()> done = {}) {
    if (calls.empty()) {
        if (done) done();
        return;
    }
    auto* p = new QProcess;
    const QStringList args = calls.front();
    calls.erase(calls.begin());
    QObject::connect(
        p, &QProcess::finished, p, [p, args, calls, done](int code, QProcess::ExitStatus st) {
            p->deleteLater();
            if (st == QProcess::NormalExit && code == 0) return runChain(calls, done);
            const QString err = QString::fromLocal8Bit(p->readAllStandardError()).trimmed();
            if (failureHandler())
                failureHandler()(std::string(kUnavailableText) + " (systemctl " +
                                 args.join(' ').toStdString() + ": " + err.toStdString() + ")");
            if (done) done();
        });
    QObject::connect(p, &QProcess::errorOccurred, p, [p, done](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        p->deleteLater();
        if (failureHandler()) failureHandler()(kUnavailableText);
        if (done) done();
    });
    p->start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + args);
}

bool systemctlPresent() {
    return !QStandardPaths::findExecutable(QStringLiteral("systemctl")).isEmpty();
}

std::string twoDigits(int v) {
    char s[16];
    std::snprintf(s, sizeof s, "%02d", v);
    return s;
}

// systemd unit names and paths must not be able to leave the folder.
bool saneName(const std::string& name) {
    if (name.empty() || name.size() > 200) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-')) return false;
    return true;
}

// Systemd's unit syntax treats '%' as a specifier and '\' as an escape; paths are quoted.
std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (c == '%') out.push_back('%');
        out.push_back(c);
    }
    return out + "\"";
}

} // namespace

bool Scheduler::folderBackend() {
    const char* dir = std::getenv("KOBAL_SCHEDULER_DIR");
    return dir && *dir;
}

std::string Scheduler::unitFolder() {
    if (folderBackend()) return std::getenv("KOBAL_SCHEDULER_DIR");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/systemd/user";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/systemd/user";
}

std::string Scheduler::onCalendar(const ScheduledTask& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const std::string time = " " + twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":00";
    switch (t.kind) {
    case ScheduledTask::kDaily:
        return "*-*-*" + time;
    case ScheduledTask::kWeekly:
        return std::string(kDays[t.weekday % 7]) + " *-*-*" + time;
    case ScheduledTask::kMonthly:
        return "*-*-" + twoDigits(t.day) + time;
    default:
        return std::to_string(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + time;
    }
}

std::string Scheduler::timerUnit(const ScheduledTask& t, const std::string& name) {
    std::string s = "[Unit]\nDescription=" + (t.comment.empty() ? name : t.comment) +
                    "\n\n[Timer]\nOnCalendar=" + onCalendar(t) +
                    "\nWakeSystem=true\nAccuracySec=1s\nUnit=" + name + ".service\n";
    if (t.endYear)
        s += "# ends " + std::to_string(t.endYear) + "-" + twoDigits(t.endMonth) + "-" +
             twoDigits(t.endDay) + "\n";
    return s + "\n[Install]\nWantedBy=timers.target\n";
}

std::string Scheduler::serviceUnit(const ScheduledTask& t, const std::string& name) {
    std::string s = "[Unit]\nDescription=" + (t.comment.empty() ? name : t.comment) +
                    "\n\n[Service]\nType=exec\nExecStart=" + quoted(t.application);
    if (!t.parameters.empty()) s += " " + quoted(t.parameters);
    s += "\n";
    if (!t.workingDirectory.empty()) s += "WorkingDirectory=" + t.workingDirectory + "\n";
    // The player finds its settings where the registering player found them.
    if (const char* home = std::getenv("KOBAL_HOME"); home && *home)
        s += "Environment=" + quoted(std::string("KOBAL_HOME=") + home) + "\n";
    return s;
}

long Scheduler::registerTask(const ScheduledTask& t, const std::string& name, bool keepExisting) {
    if (t.year == 0 || !saneName(name) || t.application.empty()) return kFail;
    const std::string folder = unitFolder();
    const std::string timer = folder + "/" + name + ".timer";
    // A changed reservation keeps its name: the units are replaced in place and the timer
    // restarted, so no late removal of the old pair can race the new one.
    if (keepExisting && exists(timer)) return kExists;
    if (!paths::makeFolders(folder)) return kFail;
    if (!writeUnit(folder + "/" + name + ".service", serviceUnit(t, name)) ||
        !writeUnit(timer, timerUnit(t, name)))
        return kFail;
    if (folderBackend()) return kOk;
    if (!systemctlPresent()) {
        if (failureHandler()) failureHandler()(kUnavailableText);
        return kUnavailable;
    }
    const QString unit = QString::fromStdString(name + ".timer");
    runChain({{"daemon-reload"}, {"enable", unit}, {"restart", unit}});
    return kOk;
}

long Scheduler::deleteTask(const std::string& name) {
    if (!saneName(name)) return kFail;
    const std::string folder = unitFolder();
    const std::string timer = folder + "/" + name + ".timer";
    if (!exists(timer)) return kNotFound;
    auto removeUnits = [folder, name] {
        ::unlink((folder + "/" + name + ".timer").c_str());
        ::unlink((folder + "/" + name + ".service").c_str());
    };
    if (folderBackend() || !systemctlPresent()) {
        removeUnits();
        return kOk;
    }
    // systemctl disables by the unit's [Install] section, so the files go only afterwards.
    runChain({{"disable", "--now", QString::fromStdString(name + ".timer")}}, [removeUnits] {
        removeUnits();
        runChain({{"daemon-reload"}});
    });
    return kOk;
}

void Scheduler::setFailureHandler(std::function<void(const std::string&)> handler) {
    failureHandler() = std::move(handler);
}

} // namespace kobal
