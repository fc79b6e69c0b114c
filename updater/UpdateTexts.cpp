#include "updater/UpdateTexts.h"

#include <cstdio>

namespace kobal::update {

const char* text(TextId id) {
    switch (id) {
    case IDS_SOCKET_INIT_FAILED:
        return "Windows socket initializing failed.";
    case IDS_STATUS_CONNECTED:
    case IDS_STATUS_CONNECT:
        return "ftp サーバーに　接続します";
    case IDS_STATUS_RESOLVING:
        return "Resolving name: %1";
    case IDS_STATUS_RESOLVED:
        return "Resolved name to %1";
    case IDS_STATUS_CONNECTING:
        return "Connecting to %1";
    case IDS_ERR_OPEN_REMOTE:
        return "An error occurred while attempting to open the specified remote file, Error:%1";
    case IDS_ERR_TRANSFER:
        return "An error occurred while attempting to transfer the file, Error:%1";
    case IDS_ERR_CONNECT:
        return "An error occurred connecting to the server, Error:%1";
    case IDS_ERR_DOWNLOAD:
        return "An error occurred while downloading the file, Error:%1";
    case IDS_TITLE_PROGRESS:
        return "%1% Update processing...";
    case IDS_STATUS_TRANSFER:
        return "...";
    case IDS_ERR_OPEN_LOCAL:
        return "An error occured while opening the file to be downloaded, Error:%1";
    case IDS_STATUS_ABORTING:
        return "Aborting transfer";
    }
    return "";
}

std::string format(TextId id, const std::string& arg) {
    std::string s = text(id);
    const auto at = s.find("%1");
    if (at != std::string::npos) s.replace(at, 2, arg);
    return s;
}

void debugOutput(const std::string& line) {
    std::fprintf(stderr, "kobal_update: %s\n", line.c_str());
}

} // namespace kobal::update
