#include "media/Playlist.h"

#include "platform/ByteReader.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace kobal::media {

bool Playlist::load(const std::string& file) {
    entries_.clear();
    index_ = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    // Read in steps up to the bound: a short list costs no more than its own size.
    std::string bytes;
    char chunk[16384];
    while (bytes.size() < kMaxBytes) {
        in.read(chunk, std::streamsize(std::min(sizeof chunk, kMaxBytes - bytes.size())));
        bytes.append(chunk, size_t(in.gcount()));
        if (!in) break;
    }
    ByteReader r(bytes.data(), bytes.size());
    std::string line;
    while (r.remaining() && entries_.size() < kMaxEntries) {
        const uint8_t c = r.u8();
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line.size() <= kMaxPath) entries_.push_back(line);
            line.clear();
        } else if (line.size() <= kMaxPath) {
            line.push_back(char(c)); // an over-long line is dropped at its end
        }
    }
    return true;
}

bool Playlist::save(const std::string& file) const {
    const std::string tmp = file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const std::string& e : entries_) out << e << '\n';
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), file.c_str()) == 0;
}

void Playlist::clear() {
    entries_.clear();
    index_ = 0;
}

void Playlist::append(const std::string& path) {
    if (entries_.size() < kMaxEntries) entries_.push_back(path);
}

void Playlist::setIndex(int i) {
    if (i >= 0 && i < count()) index_ = i;
}

std::string Playlist::current() const {
    return index_ < count() ? entries_[size_t(index_)] : std::string();
}

bool Playlist::advance() {
    if (entries_.empty()) return false;
    if (index_ + 1 < count()) {
        ++index_;
        return true;
    }
    index_ = 0;
    return false;
}

} // namespace kobal::media
