#pragma once
// Whole-file reads and crash-safe writes for the reservation and alarm files.
#include <cstddef>
#include <string>

namespace kobal {

// A regular file of at most maxBytes (these files are a few kilobytes); false when missing,
// unreadable, larger or no regular file (a FIFO or a device is never waited on).
bool readWholeFile(const std::string& path, std::string* bytes, size_t maxBytes = 16 << 20);
// Writes a temporary file beside path, syncs it and renames it over path.
bool writeFileAtomically(const std::string& path, const std::string& bytes);
// True when path is gone afterwards.
bool removeFile(const std::string& path);
// Renames a damaged file to path + ".broken" (replacing an older one); returns the new name.
std::string keepAside(const std::string& path);

} // namespace kobal
