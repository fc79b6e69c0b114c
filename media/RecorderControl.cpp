#include "media/RecorderControl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kobal::media {
namespace {

std::mutex probeLock;
FreeSpaceProbe probe;

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// mkdir -p; true when the folder exists afterwards.
bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') continue;
        const std::string part = folder.substr(0, i);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<uint64_t> freeSpace(const std::string& folder) {
    std::string path = folder.empty() ? std::string(".") : folder;
    // The recording folder is made only when recording starts: ask its nearest parent.
    while (!exists(path)) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) {
            path = ".";
            break;
        }
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    struct statvfs vs;
    if (::statvfs(path.c_str(), &vs) != 0) return std::nullopt;
    return uint64_t(vs.f_bavail) * uint64_t(vs.f_frsize);
}

FreeSpaceProbe setFreeSpaceProbe(FreeSpaceProbe p) {
    std::lock_guard<std::mutex> lk(probeLock);
    std::swap(probe, p);
    return p;
}

bool enoughSpaceToRecord(const std::string& folder) {
    FreeSpaceProbe p;
    {
        std::lock_guard<std::mutex> lk(probeLock);
        p = probe;
    }
    const std::optional<uint64_t> bytes = p ? p(folder) : freeSpace(folder);
    return bytes && (*bytes >> 20) > 200;
}

std::string recordFileName(const std::string& link, const std::tm& t) {
    const std::string channel = link.size() > 8 ? link.substr(8) : std::string();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d_%02d%02d", (t.tm_year + 1900) % 100,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min);
    return channel + "_" + stamp + ".rec";
}

RecordFile claimRecordFile(const std::string& folder, const std::string& name) {
    RecordFile r;
    if (!makeFolders(folder)) {
        r.error = folder + ": " + std::strerror(errno ? errno : ENOTDIR);
        return r;
    }
    const std::string base = folder.back() == '/' ? folder : folder + "/";
    const std::string stem = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
    // Bounded: a folder cannot hold this many recordings of one channel in one minute.
    for (int n = -1; n < 100000; ++n) {
        const std::string path = base + (n < 0 ? name : stem + "_" + std::to_string(n) + ".rec");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            r.path = path;
            return r;
        }
        if (errno != EEXIST) {
            r.error = path + ": " + std::strerror(errno);
            return r;
        }
    }
    r.error = base + ": no free name";
    return r;
}

std::string clockText(int64_t tenths) {
    if (tenths < 0) tenths = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", (long long)(tenths / 36000),
                  (long long)(tenths / 600 % 60), (long long)(tenths / 10 % 60));
    return text;
}

std::string positionText(int64_t positionTenths, int64_t durationTenths) {
    return clockText(positionTenths) + " / " + clockText(durationTenths);
}

bool isRecordedFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext == ".REC";
}

} // namespace kobal::media
