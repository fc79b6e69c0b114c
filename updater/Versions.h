#pragma once
// Ordering of release folder names and the test for names the server may hand us.
#include <string>
#include <vector>

namespace kobal::update {

// < 0, 0 or > 0 as a sorts before, equal to or after b. When both are dot-separated decimal
// numbers ("1.10", "2.0.3") the parts compare as numbers, so "1.10" is newer than "1.9" and a
// missing part counts as 0 ("1.0" equals "1.0.0"); otherwise the UTF-16 code units compare in
// order, as release names always have.
int compareVersions(const std::string& a, const std::string& b);

// The greatest name; the first of equal ones wins. Empty for an empty list.
std::string newestVersion(const std::vector<std::string>& names);

// A name that is one plain path component: 1 to 255 bytes of valid UTF-8, no "/" or "\",
// no leading dot (so neither "." nor ".." nor a hidden file), no control characters.
bool isSafeName(const std::string& name);

} // namespace kobal::update
