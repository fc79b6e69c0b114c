#include "updater/Versions.h"

#include <QString>
#include <string_view>

namespace kobal::update {
namespace {

// Splits "1.10.2" into its parts; false unless every part is one or more digits.
bool numericParts(std::string_view s, std::vector<std::string_view>& parts) {
    parts.clear();
    size_t start = 0;
    for (;;) {
        const size_t dot = s.find('.', start);
        const std::string_view part =
            s.substr(start, dot == std::string_view::npos ? s.npos : dot - start);
        if (part.empty()) return false;
        for (char c : part)
            if (c < '0' || c > '9') return false;
        parts.push_back(part);
        if (dot == std::string_view::npos) return true;
        start = dot + 1;
    }
}

// Compares two digit strings as numbers of any length.
int compareNumber(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace

int compareVersions(const std::string& a, const std::string& b) {
    std::vector<std::string_view> pa, pb;
    if (numericParts(a, pa) && numericParts(b, pb)) {
        const size_t n = std::max(pa.size(), pb.size());
        for (size_t i = 0; i < n; ++i) {
            const std::string_view x = i < pa.size() ? pa[i] : std::string_view("0");
            const std::string_view y = i < pb.size() ? pb[i] : std::string_view("0");
            if (const int c = compareNumber(x, y)) return c;
        }
        return 0;
    }
    // QString compares UTF-16 code units in order.
    const int c = QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseSensitive);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::string newestVersion(const std::vector<std::string>& names) {
    std::string newest;
    bool any = false;
    for (const auto& name : names) {
        if (!any || compareVersions(name, newest) > 0) newest = name;
        any = true;
    }
    return newest;
}

bool isSafeName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name.front() == '.') return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    // Invalid UTF-8 would not survive the round trip into a path or a window.
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    const QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() != bytes) return false;
    for (QChar c : decoded)
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) return false;
    return true;
}

} // namespace kobal::update
