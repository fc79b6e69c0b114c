#pragma once
// The keys the player tuned, in order, with a cursor for back and forward. A new tuning drops
// everything after the cursor, so forward after back plus a new tuning does nothing. UI thread.
#include <string>
#include <vector>

namespace kobal {

class ChannelHistory {
public:
    void reset() {
        keys_.clear();
        cursor_ = -1;
    }
    // Drops the keys after the cursor, then appends the key and moves the cursor onto it.
    void add(const std::string& key) {
        keys_.resize(size_t(cursor_ + 1));
        keys_.push_back(key);
        cursor_ = int(keys_.size()) - 1;
    }
    // Moves the cursor one step; the key there, empty when it cannot move.
    std::string back() {
        if (cursor_ <= 0) return {};
        return keys_[size_t(--cursor_)];
    }
    std::string forward() {
        if (cursor_ + 1 >= int(keys_.size())) return {};
        return keys_[size_t(++cursor_)];
    }
    // The last key tuned (what stopping time-shift playback returns to), empty when none.
    std::string last() const { return keys_.empty() ? std::string() : keys_.back(); }
    int cursor() const { return cursor_; }
    int size() const { return int(keys_.size()); }

private:
    std::vector<std::string> keys_;
    int cursor_ = -1;
};

} // namespace kobal
