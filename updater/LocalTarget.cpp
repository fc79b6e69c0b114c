#include "updater/LocalTarget.h"

#include "updater/Versions.h"

#include <QDir>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace kobal::update {

int LocalTarget::create(const std::string& fileName, int& error) {
    error = 0;
    if (!isSafeName(fileName)) {
        error = EINVAL;
        return -1;
    }
    if (folder_.empty()) {
        const std::string pattern = QDir::tempPath().toStdString() + "/kobal_update-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data())) { // mode 0700
            error = errno;
            return -1;
        }
        folder_ = buffer.data();
    }
    path_ = folder_ + "/" + fileName;
    const int fd =
        ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) error = errno;
    return fd;
}

void LocalTarget::remove() {
    if (!path_.empty()) ::unlink(path_.c_str());
    if (!folder_.empty()) ::rmdir(folder_.c_str());
}

} // namespace kobal::update
