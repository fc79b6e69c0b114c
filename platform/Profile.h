#pragma once
// Private-profile INI files with the semantics the player relies on:
//  - a missing file, section or key yields the default;
//  - section and key names compare case-insensitively;
//  - a read is cut to (bufferLength - 1) characters, as a fixed buffer would cut it;
//  - a write creates the file and the section when they are missing and replaces the file
//    atomically (write to a temporary file, then rename), so a crash never leaves half a file;
//  - the first of duplicate keys wins; lines starting with ';' or '#' are comments;
//  - binary or corrupt content never crashes a read: lines that do not parse are skipped.
// Files are UTF-8. Values are returned exactly as stored (no trimming of inner spaces; the
// whitespace around '=' and at the line ends is dropped, as Windows does).
#include <string>
#include <vector>

namespace kobal {

class Profile {
public:
    // Reads key under section; returns def when missing. bufferLength counts characters
    // (UTF-16 code units on Windows; here Unicode code points) including the terminator, so at
    // most bufferLength - 1 are returned. bufferLength <= 0 means no cut.
    static std::string getString(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& def,
                                 int bufferLength = 0);

    // GetPrivateProfileInt: leading decimal number of the value (atoi rules), def when missing.
    static int getInt(const std::string& file, const std::string& section, const std::string& key,
                      int def);

    // Writes (creating file and section). Returns false when the file cannot be written.
    static bool writeString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& value);
    static bool writeInt(const std::string& file, const std::string& section,
                         const std::string& key, int value);

    // Removes a key (or, with an empty key, the whole section). False when writing fails.
    static bool removeKey(const std::string& file, const std::string& section,
                          const std::string& key);
    static bool removeSection(const std::string& file, const std::string& section);

    // Names of the sections / keys in file order (empty when the file is missing).
    static std::vector<std::string> sections(const std::string& file);
    static std::vector<std::string> keys(const std::string& file, const std::string& section);
};

// C library atoi over UTF-8 text: optional white space, sign, digits; anything else reads 0.
int atoiText(const std::string& text);

} // namespace kobal
