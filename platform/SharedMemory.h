#pragma once
// Named shared memory (shm_open + mmap) standing in for page-file-backed file mappings.
#include <cstddef>
#include <memory>
#include <string>

namespace kobal {

class SharedMemory {
public:
    // Opens an existing mapping of that name and maps its first size bytes (size 0: all of
    // it). nullptr when none exists or it is smaller than size (mapping past its end would
    // fault on access).
    static std::unique_ptr<SharedMemory> open(const std::string& name, size_t size);
    // Creates a new mapping of size bytes, zero-filled; nullptr when it exists or fails.
    static std::unique_ptr<SharedMemory> create(const std::string& name, size_t size);
    ~SharedMemory(); // unmaps; the name stays until unlink()
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    unsigned char* data() const { return static_cast<unsigned char*>(addr_); }
    size_t size() const { return size_; }
    const std::string& name() const { return name_; }
    // True when a mapping of that name exists.
    static bool exists(const std::string& name);
    static void unlink(const std::string& name);
    // Removes the mapping of that name when it is smaller than minSize bytes; true when it did.
    // Creating and sizing a mapping are two steps, so a creator killed between them leaves an
    // empty name that blocks every later create. Call this only under the lock that serialises
    // the creation of that name: a small mapping is then certainly such a leftover.
    static bool removeIfSmaller(const std::string& name, size_t minSize);

private:
    SharedMemory() = default;
    void* addr_ = nullptr;
    size_t size_ = 0;
    std::string name_;
};

} // namespace kobal
