#pragma once
// The update program's string table (ids as the dialog resources number them) and the few
// fixed texts of the check. Texts are UTF-8.
#include <string>

namespace kobal::update {

enum TextId : int {
    IDS_SOCKET_INIT_FAILED = 103,
    IDS_STATUS_CONNECTED = 104,
    IDS_STATUS_RESOLVING = 105,
    IDS_STATUS_RESOLVED = 106,
    IDS_STATUS_CONNECTING = 107,
    IDS_ERR_OPEN_REMOTE = 108,
    IDS_STATUS_CONNECT = 109,
    IDS_ERR_TRANSFER = 111,
    IDS_ERR_CONNECT = 112,
    IDS_ERR_DOWNLOAD = 115,
    IDS_TITLE_PROGRESS = 116,
    IDS_STATUS_TRANSFER = 117,
    IDS_ERR_OPEN_LOCAL = 131,
    IDS_STATUS_ABORTING = 132,
};

// The text of a string-table entry ("" for an unknown id).
const char* text(TextId id);

// The entry with "%1" replaced by arg.
std::string format(TextId id, const std::string& arg);

// Fixed texts of the check.
inline constexpr const char* kInvalidUrl = "Please enter a valid FTP URL";
inline constexpr const char* kConnectException =
    "An exception occurred when attempting to create an FTP connection.";
inline constexpr const char* kFolderOpenError = "An error occurred opening the folder";
inline constexpr const char* kTimedOutPassive = "The request has timed out.";
inline constexpr const char* kTimedOutActive =
    "The request has timed out, try connecting using PASV mode.";
inline constexpr const char* kOfferText = "新しいソフトウェアにアップデートします。よろしいですか";
inline constexpr const char* kNothingNewText = "新しいソフトウェアがありません。";

// Lines for a developer watching stderr (where Windows programs write to the debugger).
void debugOutput(const std::string& line);

} // namespace kobal::update
