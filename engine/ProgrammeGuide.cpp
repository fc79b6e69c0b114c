#include "engine/ProgrammeGuide.h"

#include "broadcast/AribText.h"
#include "platform/ByteReader.h"

#include <algorithm>
#include <cstdio>

namespace kobal {
namespace {

int bcd(uint8_t b) {
    return (b >> 4) * 10 + (b & 0x0F);
}

// What a duration of FF FF FF (an event without a known end) computes to.
constexpr int kOpenEnded = 165 * 3600 + 165 * 60 + 165;

void appendAscii(std::u16string& s, const char* a) {
    while (*a) s.push_back(static_cast<unsigned char>(*a++));
}

} // namespace

void ProgrammeGuide::clear() {
    events_.fill(ProgrammeEvent{});
    for (auto& l : lines_) l.clear();
    ticker_.clear();
}

const ProgrammeEvent& ProgrammeGuide::event(int index) const {
    static const ProgrammeEvent empty;
    return index >= 1 && index <= kProgrammeEventCount ? events_[index - 1] : empty;
}

const std::u16string& ProgrammeGuide::line(int index) const {
    static const std::u16string empty;
    return index >= 1 && index <= kProgrammeEventCount ? lines_[index - 1] : empty;
}

void ProgrammeGuide::storeEvent(int index, ProgrammeEvent&& ev, std::u16string&& line) {
    if (index < 1 || index > kProgrammeEventCount) return;
    events_[index - 1] = std::move(ev);
    lines_[index - 1] = std::move(line);
}

size_t ProgrammeGuide::parseSection(const uint8_t* data, size_t size, bool* complete) {
    if (complete) *complete = false;
    if (!data || size < 3) return 4;
    const size_t sectionLength = ((data[1] & 0x0F) << 8) | data[2];
    // Reads are bounded by the section's own length (offsets from the section's first byte, the
    // way the guide has always read it) and by the bytes actually held, whichever is smaller.
    const size_t limit = std::min(size, sectionLength);
    ByteReader header(data, limit);
    header.skip(6);
    const int section = header.u8();
    if (!header.ok()) return 4;
    size_t b = 14;
    int position = 0;
    for (;;) {
        ++position;
        if (b + 2 >= sectionLength) break;
        ByteReader r(data, limit);
        r.skip(b + 4);
        ProgrammeEvent ev;
        const int sh = bcd(r.u8()), sm = bcd(r.u8()), ss = bcd(r.u8());
        const int dh = bcd(r.u8()), dm = bcd(r.u8()), ds = bcd(r.u8());
        int duration = dh * 3600 + dm * 60 + ds;
        bool open = duration == kOpenEnded;
        int endTotal = sh * 3600 + sm * 60 + ss + duration;
        int eh = endTotal / 3600, em = endTotal / 60 % 60, es = endTotal % 60;
        if (eh > 23) eh -= 24;

        const size_t loopLength = r.u16be() & 0x0FFF;
        r.skip(1); // the first descriptor's tag
        const size_t descLength = r.u8();
        r.skip(3); // language
        const std::span<const uint8_t> name = r.bytes(r.u8());
        const std::span<const uint8_t> text = r.bytes(r.u8());
        if (!r.ok()) return b + 4;
        const size_t nameLength = name.size(), textLength = text.size();

        std::u16string line;
        if (nameLength >= 1 && nameLength <= kProgrammeTextMax)
            line = decodeAribProgramme(name.data(), nameLength, false);
        ev.title = line;

        char span[64] = "";
        if (open) {
            if (section == 0) std::snprintf(span, sizeof span, "(%02d:%02d", sh, sm);
        } else {
            std::snprintf(span, sizeof span, "(%02d:%02d", sh, sm);
        }
        if (span[0]) {
            appendAscii(line, span);
            line.push_back(u'\uFF5E');
            if (!open) {
                std::snprintf(span, sizeof span, "%02d:%02d", eh, em);
                appendAscii(line, span);
            }
            appendAscii(line, ")  ");
        }
        if (!open) {
            ev.startHour = sh, ev.startMinute = sm, ev.startSecond = ss;
            ev.endHour = eh, ev.endMinute = em, ev.endSecond = es;
        }

        if (textLength >= 1 && textLength <= kProgrammeTextMax) {
            ev.description = decodeAribProgramme(text.data(), textLength, true);
            if (ev.description.size() > kProgrammeDescriptionMax)
                ev.description.resize(kProgrammeDescriptionMax);
        }
        line += ev.description;
        if (line.size() > kProgrammeTextMax) line.resize(kProgrammeTextMax);

        if (section <= 2) storeEvent(section + position, std::move(ev), std::move(line));

        // Step over all of the event's descriptors. A loop length that does not cover the
        // first descriptor would move backwards (and loop for ever); the section is damaged.
        if (loopLength < descLength + 2) return b + 4;
        b = b + 19 + nameLength + textLength + (loopLength - descLength - 2);
    }
    if (complete) *complete = true;
    return b + 4;
}

bool ProgrammeGuide::rebuildTicker() {
    if (lines_[0].empty()) return false;
    std::u16string t = u"   <現在の番組> *" + lines_[0];
    if (!lines_[1].empty()) t += u"           <次の番組> *" + lines_[1];
    for (int k = 2; k < 4; ++k)
        if (!lines_[k].empty()) t += u"   *" + lines_[k];
    if (t == ticker_) return false;
    ticker_ = std::move(t);
    return true;
}

} // namespace kobal
