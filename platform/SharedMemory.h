#pragma once
// Named shared memory (shm_open + mmap) standing in for page-file-backed file mappings.
#include <cstddef>
#include <memory>
#include <string>

namespace kobal {

class SharedMemory {
public:
    // Opens an existing mapping of that name; nullptr when none exists.
    static std::unique_ptr<SharedMemory> open(const std::string& name, size_t size);
    // Creates a new mapping of size bytes, zero-filled; nullptr when it exists or fails.
    static std::unique_ptr<SharedMemory> create(const std::string& name, size_t size);
    ~SharedMemory();

    unsigned char* data() const { return static_cast<unsigned char*>(addr_); }
    size_t size() const { return size_; }
    static void unlink(const std::string& name);

private:
    SharedMemory() = default;
    void* addr_ = nullptr;
    size_t size_ = 0;
    std::string name_;
};

} // namespace kobal
