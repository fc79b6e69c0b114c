#pragma once
// Reading a directory listing as FTP servers send it (LIST): Unix "ls -l" lines and the
// MS-DOS style "<DIR>" lines. The text is untrusted: lines that fit neither form are skipped.
#include <string>
#include <string_view>
#include <vector>

namespace kobal::update {

struct ListingEntry {
    std::string name;
    bool directory = false;
};

// Entries in server order. Symbolic links, devices and unreadable lines are left out; "."
// and ".." are kept (the caller decides about names).
std::vector<ListingEntry> parseListing(std::string_view text);

} // namespace kobal::update
