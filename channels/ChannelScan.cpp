#include "channels/ChannelScan.h"

#include <cstdio>

namespace kobal {

std::string ChannelScan::keyOf(const ChannelRecord& r) {
    char key[40];
    std::snprintf(key, sizeof key, "%02d%02d%d", r.slot, r.tuneA, r.tuneB);
    return key;
}

std::string ChannelScan::plainKey(int slot) {
    char key[16];
    std::snprintf(key, sizeof key, "%02d%02d1", slot, slot);
    return key;
}

int ChannelScan::slotOfKey(const std::string& key) {
    if (key.size() < 2 || key[0] < '0' || key[0] > '9' || key[1] < '0' || key[1] > '9') return -1;
    return (key[0] - '0') * 10 + (key[1] - '0');
}

bool ChannelScan::acceptedIdentifier(uint32_t word) {
    return (word & 0xFFF00000u) == 0xF1E00000u || (word & 0xFF00u) == 0xE000u;
}

void ChannelScan::rebuild(const ScanTable& table, ScanMode kind) {
    records_.clear();
    for (int k = 0; k < int(table.size()); ++k) {
        const ScanEntry& e = table[size_t(k)];
        if (!acceptedIdentifier(e.identifier)) continue;
        ChannelRecord r;
        r.slot = k;
        r.name = e.name.substr(0, 259);
        r.tuneA = e.tuneA;
        r.tuneB = e.tuneB;
        r.identifier = e.identifier;
        r.physicalIndex = e.physicalIndex;
        if (filter_ && !(*filter_)[size_t(k)])
            r.state = -1;
        else
            r.state = e.found ? 1 : (kind == ScanAll ? -1 : 0);
        records_.push_back(std::move(r));
    }
    reference_ = '1';
}

void ChannelScan::markSingle(const ScanTable& table, int slot) {
    const size_t lineCount = lines().size();
    for (size_t i = 0; i < records_.size() && i < lineCount; ++i) {
        if (records_[i].physicalIndex != slot) continue;
        // The entry of the record's own slot says whether it was found.
        if (table[size_t(records_[i].slot)].found) records_[i].state = 1;
        return;
    }
}

std::vector<const ChannelRecord*> ChannelScan::lines() const {
    std::vector<const ChannelRecord*> out;
    for (const ChannelRecord& r : records_)
        if (r.state != -1) out.push_back(&r);
    return out;
}

const ChannelRecord* ChannelScan::recordOfSlot(int slot) const {
    for (const ChannelRecord& r : records_)
        if (r.slot == slot) return &r;
    return nullptr;
}

std::string ChannelScan::chooseKey(const ScanTable& table, const std::string& stored,
                                   ScanMode finished, bool* rewrite, int requestedSlot) const {
    if (rewrite) *rewrite = false;
    const std::vector<const ChannelRecord*> shown = lines();
    // The alarm's channel, when the scan found it; a channel gone since the alarm was set
    // leaves the usual choice rather than a start with nothing tuned.
    if (requestedSlot >= 0)
        for (const ChannelRecord* r : shown)
            if (r->physicalIndex == requestedSlot && r->state == 1) return plainKey(requestedSlot);
    if (stored == "No-Channel" || stored.empty()) {
        for (int k = 0; k < int(table.size()); ++k) {
            if (!table[size_t(k)].found) continue;
            if (filter_ && !(*filter_)[size_t(k)]) continue;
            // The candidate names a slot; it is taken when that slot is listed (the panel is
            // in slot order, so a listed slot's line exists).
            if ((finished == ScanArea || finished == ScanNone) && recordOfSlot(k) &&
                recordOfSlot(k)->state != -1)
                return keyOf(*recordOfSlot(k));
            break;
        }
    }
    if (shown.empty()) return {};
    const int wanted = slotOfKey(stored);
    for (const ChannelRecord* r : shown)
        if (r->physicalIndex == wanted) return keyOf(*r);
    if (rewrite) *rewrite = true;
    return keyOf(*shown.front());
}

std::string ChannelScan::step(const std::string& currentKey, int direction) const {
    const std::vector<const ChannelRecord*> shown = lines();
    const int slot = slotOfKey(currentKey);
    int at = -1;
    for (int i = 0; i < int(shown.size()); ++i)
        if (shown[size_t(i)]->slot == slot) at = i;
    if (at < 0) return {};
    for (int i = at + direction; i >= 0 && i < int(shown.size()); i += direction) {
        const std::string key = keyOf(*shown[size_t(i)]);
        if (!key.empty() && key.back() == reference_) return key;
    }
    return {};
}

} // namespace kobal
