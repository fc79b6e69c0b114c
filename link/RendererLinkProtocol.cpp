#include "link/RendererLinkProtocol.h"

#include <cstdio>

#include "platform/ByteReader.h"
#include "platform/Paths.h"

namespace kobal::records {

std::string mapName(const std::string& link) {
    return "FILEMAP_" + link;
}

std::string dataLockName(const std::string& link) {
    return "MUTEX_" + link;
}

std::string clientEventName(const std::string& link, uint32_t clientId) {
    return "CLIENTEVENT_" + link + "_" + std::to_string(static_cast<int>(clientId));
}

std::string serverEventName(const std::string& link, uint32_t serverId) {
    return "SERVEREVENT_" + link + "_" + std::to_string(static_cast<int>(serverId));
}

std::string presencePath(const std::string& link, int slot, uint32_t id) {
    uint64_t h = 14695981039346656037ull; // FNV-1a, 64 bits: collisions are out of reach
    for (unsigned char c : paths::posixName(mapName(link))) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char file[64];
    std::snprintf(file, sizeof file, "/link-%016llx.%s.%u", static_cast<unsigned long long>(h),
                  slot == 0 ? "server" : "client", static_cast<unsigned>(id));
    return paths::runtimeFolder() + file;
}

std::vector<uint8_t> startPayload(uint32_t processId, std::u16string_view source) {
    std::vector<uint8_t> data;
    data.reserve(4 + source.size() * 2);
    for (int i = 0; i < 4; ++i) data.push_back(uint8_t(processId >> (8 * i)));
    for (char16_t c : source) {
        data.push_back(uint8_t(c));
        data.push_back(uint8_t(c >> 8));
    }
    return data;
}

std::optional<StartRequest> readStartPayload(const std::vector<uint8_t>& data) {
    ByteReader r(data.data(), data.size());
    StartRequest request;
    request.processId = r.u32le();
    if (!r.ok()) return std::nullopt;
    // An odd last byte is no character.
    request.source = r.utf16le(r.remaining() / 2);
    return request;
}

} // namespace kobal::records
