#include "platform/SharedMemory.h"

#include "platform/Paths.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kobal {
namespace {

void* mapFd(int fd, size_t size) {
    void* addr = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return addr == MAP_FAILED ? nullptr : addr;
}

} // namespace

std::unique_ptr<SharedMemory> SharedMemory::create(const std::string& name, size_t size) {
    if (size == 0) return nullptr;
    const std::string posix = paths::posixName(name);
    int fd = shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    void* addr = nullptr;
    if (ftruncate(fd, static_cast<off_t>(size)) == 0) addr = mapFd(fd, size);
    ::close(fd);
    if (!addr) {
        shm_unlink(posix.c_str());
        return nullptr;
    }
    std::unique_ptr<SharedMemory> m(new SharedMemory());
    m->addr_ = addr;
    m->size_ = size;
    m->name_ = name;
    return m;
}

std::unique_ptr<SharedMemory> SharedMemory::open(const std::string& name, size_t size) {
    const std::string posix = paths::posixName(name);
    int fd = shm_open(posix.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    // A creator sizes its mapping right after creating it; give it a moment before judging
    // the size.
    struct stat st {};
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (fstat(fd, &st) != 0) break;
        const size_t have = static_cast<size_t>(st.st_size);
        if (have > 0 && have >= size) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const size_t have = static_cast<size_t>(st.st_size);
    const size_t want = size == 0 ? have : size;
    void* addr = nullptr;
    if (want > 0 && have >= want) addr = mapFd(fd, want);
    ::close(fd);
    if (!addr) return nullptr;
    std::unique_ptr<SharedMemory> m(new SharedMemory());
    m->addr_ = addr;
    m->size_ = want;
    m->name_ = name;
    return m;
}

SharedMemory::~SharedMemory() {
    if (addr_) munmap(addr_, size_);
}

bool SharedMemory::exists(const std::string& name) {
    int fd = shm_open(paths::posixName(name).c_str(), O_RDONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

void SharedMemory::unlink(const std::string& name) {
    shm_unlink(paths::posixName(name).c_str());
}

bool SharedMemory::removeIfSmaller(const std::string& name, size_t minSize) {
    const std::string posix = paths::posixName(name);
    int fd = shm_open(posix.c_str(), O_RDONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat st {};
    const bool small = fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) < minSize;
    ::close(fd);
    return small && shm_unlink(posix.c_str()) == 0;
}

} // namespace kobal
