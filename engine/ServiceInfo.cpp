#include "engine/ServiceInfo.h"

#include "engine/AribText.h"
#include "engine/SessionHost.h"

#include <cstring>

namespace kobal {

std::u16string sdtServiceName(const uint8_t* p, size_t size) {
    // The first service's first descriptor is taken to be its service descriptor.
    if (!p || size < 22) return {};
    const size_t providerLength = p[20];
    if (21 + providerLength >= size) return {};
    const size_t nameLength = p[21 + providerLength];
    if (nameLength == 0 || nameLength >= 512) return {};
    const size_t start = 22 + providerLength;
    const size_t available = size > start ? size - start : 0;
    // A name running past the packet is read as far as the packet goes.
    return decodeAribService(p + start, nameLength < available ? nameLength : available);
}

void ServiceInfoReader::onParseStart() {
    serviceName_.clear();
    guide_.clear();
    fill_ = 0;
    if (host_) host_->rebuildProgrammeList(guide_); // the main window's list starts empty too
}

void ServiceInfoReader::onSdtSection(const uint8_t* payload, size_t size) {
    std::u16string name = sdtServiceName(payload, size);
    if (name != serviceName_) serviceName_ = std::move(name);
    if (!serviceName_.empty() && host_) host_->setChannelStatus(u"チャンネル : " + serviceName_);
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
    const size_t pointer = p[0];
    const size_t tail = 1 + pointer < size ? 1 + pointer : size; // where the new section starts
    if (fill_ > 0) {
        append(p + 1, tail - 1);
        parseCollected();
    }
    fill_ = 0;
    append(p + tail, size - tail);
    // Even a section that broke off part-way has stored the events it read, so the ticker is
    // looked at after every section start; it reports only real changes.
    if (guide_.rebuildTicker() && host_) {
        host_->setProgrammeTicker(guide_.ticker());
        host_->rebuildProgrammeList(guide_);
    }
}

void ServiceInfoReader::onCaptionPes(const uint8_t* payload, size_t size) {
    if (captions_.onPacket(payload, size, true) && host_) host_->showCaption(captions_.block());
}

} // namespace kobal
