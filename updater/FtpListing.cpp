#include "updater/FtpListing.h"

#include "platform/ByteReader.h"

namespace kobal::update {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

// Skips n whitespace-separated fields of line from pos; returns the position after the
// whitespace that follows them, or npos when the line ends first.
size_t skipFields(std::string_view line, size_t pos, int n) {
    for (int i = 0; i < n; ++i) {
        while (pos < line.size() && isSpace(line[pos])) ++pos;
        if (pos >= line.size()) return std::string_view::npos;
        while (pos < line.size() && !isSpace(line[pos])) ++pos;
    }
    // The name begins after one separator; further spaces belong to the name.
    if (pos >= line.size()) return std::string_view::npos;
    return pos + 1;
}

std::string_view field(std::string_view line, size_t& pos) {
    while (pos < line.size() && isSpace(line[pos])) ++pos;
    const size_t start = pos;
    while (pos < line.size() && !isSpace(line[pos])) ++pos;
    return line.substr(start, pos - start);
}

bool parseLine(std::string_view line, ListingEntry& entry) {
    if (line.empty()) return false;
    const char kind = line.front();
    if (kind == 'd' || kind == '-') {
        // perms links owner group size month day time-or-year name
        const size_t at = skipFields(line, 0, 8);
        if (at == std::string_view::npos || at >= line.size()) return false;
        entry.name.assign(line.substr(at));
        entry.directory = kind == 'd';
        return true;
    }
    if (kind >= '0' && kind <= '9') {
        // 01-02-24  10:00AM  <DIR>  name   or   01-02-24  10:00AM  1234  name
        size_t pos = 0;
        field(line, pos);
        field(line, pos);
        const std::string_view what = field(line, pos);
        if (what.empty()) return false;
        const size_t at = skipFields(line, 0, 3);
        if (at == std::string_view::npos) return false;
        size_t nameAt = at;
        while (nameAt < line.size() && isSpace(line[nameAt])) ++nameAt;
        if (nameAt >= line.size()) return false;
        if (what == "<DIR>") {
            entry.directory = true;
        } else {
            for (char c : what)
                if (c < '0' || c > '9') return false;
            entry.directory = false;
        }
        entry.name.assign(line.substr(nameAt));
        return true;
    }
    return false;
}

} // namespace

std::vector<ListingEntry> parseListing(std::string_view text) {
    std::vector<ListingEntry> entries;
    ByteReader r(text.data(), text.size());
    while (!r.atEnd()) {
        const size_t start = r.position();
        while (!r.atEnd() && r.peek() != '\n') r.u8();
        std::string_view line = text.substr(start, r.position() - start);
        if (!r.atEnd()) r.u8(); // the newline
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ListingEntry entry;
        if (parseLine(line, entry)) entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace kobal::update
