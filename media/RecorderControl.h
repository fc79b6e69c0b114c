#pragma once
// The player's side of recording: where a recording goes, what it is called, whether the
// disk has room, and how the elapsed time and positions read. The bytes are written by the
// renderer; the player only names the file and sends start and stop.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace kobal::media {

// Bytes available to the user on the file system of `folder`, nullopt when unknown.
using FreeSpaceProbe = std::function<std::optional<uint64_t>(const std::string& folder)>;
// statvfs on the folder or, while it does not exist yet, its nearest existing parent.
std::optional<uint64_t> freeSpace(const std::string& folder);
// Tests replace the probe (an empty function restores statvfs); returns the previous one.
FreeSpaceProbe setFreeSpaceProbe(FreeSpaceProbe probe);

// More than 200 MiB free: recording may start. False when the space is unknown.
bool enoughSpaceToRecord(const std::string& folder);

// "<link without x-dmb://>_YYMMDD_HHMM.rec".
std::string recordFileName(const std::string& link, const std::tm& local);

struct RecordFile {
    std::string path;  // empty on failure
    std::string error; // why, for the message
};
// Creates the folder (and its parents) and claims the first free name: `name`, else
// "<name without .rec>_<n>.rec" for n = 0, 1, … A name is claimed by creating the file empty,
// so no earlier recording is ever overwritten and the renderer is known to be able to write.
RecordFile claimRecordFile(const std::string& folder, const std::string& name);

// "%02d:%02d:%02d" of tenths of a second (hours not wrapped).
std::string clockText(int64_t tenths);
// "%02d:%02d:%02d / %02d:%02d:%02d" of a position and a duration.
std::string positionText(int64_t positionTenths, int64_t durationTenths);

// ".rec" in any case.
bool isRecordedFile(const std::string& path);

} // namespace kobal::media
