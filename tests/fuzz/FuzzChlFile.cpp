// ".chl" channel list files: decode, and encode what was accepted.
#include "channels/ChannelListFile.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<kobal::ChlRecord> records;
    if (kobal::ChannelListFile::decode(bytes, &records) == kobal::ChannelListFile::Error::None)
        kobal::ChannelListFile::encode(records);
    return 0;
}
