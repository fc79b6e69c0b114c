// FTP directory listings (LIST) as a server sends them.
#include "updater/FtpListing.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kobal::update::parseListing(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
