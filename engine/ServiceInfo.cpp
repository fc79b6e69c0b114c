#include "engine/ServiceInfo.h"

#include "broadcast/AribText.h"
#include "engine/EngineOutputs.h"
#include "platform/ByteReader.h"

#include <algorithm>
#include <cstring>

namespace kobal {

std::u16string sdtServiceName(const uint8_t* p, size_t size) {
    // The first service's first descriptor is taken to be its service descriptor.
    if (!p || size < 22) return {};
    ByteReader r(p, size);
    r.skip(20);
    r.skip(r.u8()); // provider name
    const size_t nameLength = r.u8();
    if (!r.ok() || nameLength == 0) return {};
    // A name running past the packet is read as far as the packet goes.
    const std::span<const uint8_t> name = r.bytes(std::min(nameLength, r.remaining()));
    return decodeAribService(name.data(), name.size());
}

void ServiceInfoReader::onParseStart() {
    serviceName_.clear();
    guide_.clear();
    fill_ = 0;
    if (out_) out_->programmeList(guide_); // the main window's list starts empty too
}

void ServiceInfoReader::onSdtSection(const uint8_t* payload, size_t size) {
    std::u16string name = sdtServiceName(payload, size);
    if (name != serviceName_) serviceName_ = std::move(name);
    if (!serviceName_.empty() && out_) out_->statusLine(u"チャンネル : " + serviceName_);
}

void ServiceInfoReader::append(const uint8_t* p, size_t n) {
    // A section longer than the collector keeps its first 4096 bytes.
    const size_t room = collector_.size() - fill_;
    if (n > room) n = room;
    if (n) std::memcpy(collector_.data() + fill_, p, n);
    fill_ += n;
}

bool ServiceInfoReader::parseCollected() {
    bool any = false, complete = false;
    size_t end = guide_.parseSection(collector_.data(), fill_, &complete);
    any |= complete;
    // A second present/following section may sit right behind the first one.
    if (end < fill_ && collector_[end] == 0x4E) {
        guide_.parseSection(collector_.data() + end, fill_ - end, &complete);
        any |= complete;
    }
    return any;
}

void ServiceInfoReader::onEitSection(const uint8_t* p, size_t size, bool unitStart) {
    if (!p || size == 0) return;
    if (!unitStart) {
        if (fill_ > 0) append(p, size);
        return;
    }
    ByteReader r(p, size);
    const size_t pointer = r.u8();
    // The bytes up to the pointer end the section in progress; a pointer past the packet
    // takes all of it.
    const std::span<const uint8_t> before = r.bytes(std::min(pointer, r.remaining()));
    if (fill_ > 0) {
        append(before.data(), before.size());
        parseCollected();
    }
    fill_ = 0;
    const std::span<const uint8_t> next = r.bytes(r.remaining());
    append(next.data(), next.size());
    // Even a section that broke off part-way has stored the events it read, so the ticker is
    // looked at after every section start; it reports only real changes.
    if (guide_.rebuildTicker() && out_) {
        out_->programmeTicker(guide_.ticker());
        out_->programmeList(guide_);
    }
}

void ServiceInfoReader::onCaptionPes(const uint8_t* payload, size_t size) {
    if (captions_.onPacket(payload, size, true) && out_) out_->caption(captions_.block());
}

} // namespace kobal
