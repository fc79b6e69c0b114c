#include "platform/Profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace kobal {
namespace {

// Several threads write settings (the UI thread, the engine's start-up handshake): one lock
// for every read-modify-write of any profile file in this process.
std::mutex& fileLock() {
    static std::mutex m;
    return m;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool equalNames(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

std::vector<std::string> readLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    if (!in) return lines;
    // Settings files are small; a huge or garbage file is read only up to a bound, counted in
    // bytes so that one endless line cannot get past it.
    constexpr size_t kMaxBytes = 16u << 20;
    std::string bytes;
    char buf[64 * 1024];
    while (bytes.size() < kMaxBytes && in) {
        in.read(buf, static_cast<std::streamsize>(std::min(sizeof buf, kMaxBytes - bytes.size())));
        bytes.append(buf, static_cast<size_t>(in.gcount()));
    }
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    // A UTF-8 byte-order mark on the first line is not part of the first name.
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
    return lines;
}

bool sectionHeader(const std::string& line, std::string* name) {
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    if (name) *name = trim(t.substr(1, close - 1));
    return true;
}

bool keyLine(const std::string& line, std::string* key, std::string* value) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    if (key) *key = trim(t.substr(0, eq));
    if (value) *value = trim(t.substr(eq + 1));
    return true;
}

// Lines of the section [begin, end) after its header; begin == npos when missing.
struct SectionRange {
    size_t header = std::string::npos;
    size_t end = 0;
};

SectionRange findSection(const std::vector<std::string>& lines, const std::string& section) {
    SectionRange r;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (!sectionHeader(lines[i], &name)) continue;
        if (r.header != std::string::npos) {
            r.end = i;
            return r;
        }
        if (equalNames(name, section)) r.header = i;
    }
    r.end = lines.size();
    return r;
}

bool findValue(const std::vector<std::string>& lines, const std::string& section,
               const std::string& key, std::string* value) {
    SectionRange r = findSection(lines, section);
    if (r.header == std::string::npos) return false;
    for (size_t i = r.header + 1; i < r.end; ++i) {
        std::string k, v;
        if (keyLine(lines[i], &k, &v) && equalNames(k, key)) {
            if (value) *value = v;
            return true;
        }
    }
    return false;
}

// Cut UTF-8 text to at most n code points; never splits a sequence. Invalid bytes count
// as one character each.
std::string cutCodePoints(const std::string& s, size_t n) {
    size_t i = 0, count = 0;
    while (i < s.size() && count < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (i + len > s.size()) len = 1;
        i += len;
        ++count;
    }
    return s.substr(0, i);
}

// Writes all lines to a temporary file beside the target and renames it over the target, so
// readers see either the old or the new file, never a half-written one.
bool writeLines(const std::string& file, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) {
        text += l;
        text += '\n';
    }
    std::string tmp = file + ".tmp." + std::to_string(getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    ::fsync(fd);
    if (::close(fd) != 0 || std::rename(tmp.c_str(), file.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace

int atoiText(const std::string& text) {
    return std::atoi(text.c_str());
}

std::string Profile::getString(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& def, int bufferLength) {
    std::string value;
    {
        std::lock_guard<std::mutex> lock(fileLock());
        auto lines = readLines(file);
        if (!findValue(lines, section, key, &value))
            value = def;
        else if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                 value.back() == value.front())
            value = value.substr(1, value.size() - 2);
    }
    if (bufferLength > 0) value = cutCodePoints(value, static_cast<size_t>(bufferLength - 1));
    return value;
}

int Profile::getInt(const std::string& file, const std::string& section, const std::string& key,
                    int def) {
    std::lock_guard<std::mutex> lock(fileLock());
    std::string value;
    if (!findValue(readLines(file), section, key, &value)) return def;
    return atoiText(value);
}

bool Profile::writeString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(fileLock());
    auto lines = readLines(file);
    SectionRange r = findSection(lines, section);
    const std::string entry = key + "=" + value;
    if (r.header == std::string::npos) {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
        return writeLines(file, lines);
    }
    size_t insertAt = r.header + 1;
    for (size_t i = r.header + 1; i < r.end; ++i) {
        std::string k;
        if (keyLine(lines[i], &k, nullptr) && equalNames(k, key)) {
            lines[i] = entry;
            return writeLines(file, lines);
        }
        if (!trim(lines[i]).empty()) insertAt = i + 1;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    return writeLines(file, lines);
}

bool Profile::writeInt(const std::string& file, const std::string& section, const std::string& key,
                       int value) {
    return writeString(file, section, key, std::to_string(value));
}

bool Profile::removeKey(const std::string& file, const std::string& section,
                        const std::string& key) {
    if (key.empty()) return removeSection(file, section);
    std::lock_guard<std::mutex> lock(fileLock());
    auto lines = readLines(file);
    SectionRange r = findSection(lines, section);
    if (r.header == std::string::npos) return true;
    for (size_t i = r.header + 1; i < r.end; ++i) {
        std::string k;
        if (keyLine(lines[i], &k, nullptr) && equalNames(k, key)) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            return writeLines(file, lines);
        }
    }
    return true;
}

bool Profile::removeSection(const std::string& file, const std::string& section) {
    std::lock_guard<std::mutex> lock(fileLock());
    auto lines = readLines(file);
    SectionRange r = findSection(lines, section);
    if (r.header == std::string::npos) return true;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(r.header),
                lines.begin() + static_cast<std::ptrdiff_t>(r.end));
    return writeLines(file, lines);
}

std::vector<std::string> Profile::sections(const std::string& file) {
    std::lock_guard<std::mutex> lock(fileLock());
    std::vector<std::string> out;
    for (const auto& l : readLines(file)) {
        std::string name;
        if (sectionHeader(l, &name)) out.push_back(name);
    }
    return out;
}

std::vector<std::string> Profile::keys(const std::string& file, const std::string& section) {
    std::lock_guard<std::mutex> lock(fileLock());
    std::vector<std::string> out;
    auto lines = readLines(file);
    SectionRange r = findSection(lines, section);
    if (r.header == std::string::npos) return out;
    for (size_t i = r.header + 1; i < r.end; ++i) {
        std::string k;
        if (keyLine(lines[i], &k, nullptr)) out.push_back(k);
    }
    return out;
}

} // namespace kobal
