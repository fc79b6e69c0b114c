#pragma once
// The playlist: file paths in order and the current index, kept in "plist.lst" (UTF-8, one
// path per line ending with a line feed; text after the last line feed is not an entry).
// The file is untrusted: at most kMaxBytes are read and kMaxEntries kept.
#include <string>
#include <vector>

namespace kobal::media {

class Playlist {
public:
    static constexpr size_t kMaxBytes = 4u << 20;
    static constexpr size_t kMaxEntries = 10000;
    static constexpr size_t kMaxPath = 4096;

    bool load(const std::string& file);
    bool save(const std::string& file) const; // write and rename

    void clear();
    void append(const std::string& path);
    const std::vector<std::string>& entries() const { return entries_; }
    int count() const { return int(entries_.size()); }
    int index() const { return index_; }
    void setIndex(int i);
    std::string current() const;
    // The end of an entry: the index moves on; after the last it returns to 0 and false says
    // that playback stops. Moving does not start the entry.
    bool advance();

private:
    std::vector<std::string> entries_;
    int index_ = 0;
};

} // namespace kobal::media
