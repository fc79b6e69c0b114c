#include "tools/support/ServiceInfoLog.h"

#include <algorithm>
#include <cstdio>

namespace kobal {
namespace {

const std::u16string kStatusPrefix = u"チャンネル : ";

std::string stringList(const std::vector<std::u16string>& list) {
    std::string s = "[";
    for (size_t i = 0; i < list.size(); ++i) s += (i ? ", " : "") + jsonQuote(list[i]);
    return s + "]";
}

std::string time(int h, int m, int s) {
    char b[32];
    std::snprintf(b, sizeof b, "\"%02d:%02d:%02d\"", h, m, s);
    return b;
}

} // namespace

std::string jsonQuote(std::u16string_view s) {
    std::string out = "\"";
    for (char c : utf16ToUtf8(s)) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", u);
            out += b;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void ServiceInfoLog::status(const std::u16string& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (text.compare(0, kStatusPrefix.size(), kStatusPrefix) == 0)
        serviceName_ = text.substr(kStatusPrefix.size());
    if (status_.size() < kMaxEntries) status_.push_back(text);
}

void ServiceInfoLog::ticker(const std::u16string& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (tickers_.size() < kMaxEntries) tickers_.push_back(text);
}

void ServiceInfoLog::programmeList(const ProgrammeGuide& guide) {
    std::lock_guard<std::mutex> guard(mutex_);
    events_ = guide.events();
    for (int k = 1; k <= kProgrammeEventCount; ++k) lines_[k - 1] = guide.line(k);
}

void ServiceInfoLog::caption(const CaptionBlock& block) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (captions_.size() >= kMaxEntries) return;
    Caption c;
    const int count = std::min(block.lineCount(), kCaptionLines);
    for (int k = 0; k < count; ++k) {
        const CaptionLine& l = block.lines[k];
        c.lines.push_back({std::u16string(l.textView()), l.colour, l.clear, l.returnFlag, l.wait});
    }
    captions_.push_back(std::move(c));
}

std::string ServiceInfoLog::jsonMembers(const std::string& indent) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string s;
    s += indent + "\"service_name\": " + jsonQuote(serviceName_) + ",\n";
    s += indent + "\"status_lines\": " + stringList(status_) + ",\n";

    s += indent + "\"programmes\": [";
    bool first = true;
    for (int k = 1; k <= kProgrammeEventCount; ++k) {
        const ProgrammeEvent& e = events_[k - 1];
        if (e.title.empty() && e.description.empty()) continue;
        s += first ? "\n" : ",\n";
        first = false;
        s += indent + "  {\"index\": " + std::to_string(k) + ", \"title\": " + jsonQuote(e.title) +
             ", \"start\": " + time(e.startHour, e.startMinute, e.startSecond) +
             ", \"end\": " + time(e.endHour, e.endMinute, e.endSecond) +
             ", \"description\": " + jsonQuote(e.description) + "}";
    }
    s += first ? "],\n" : "\n" + indent + "],\n";

    s += indent + "\"programme_lines\": [";
    first = true;
    for (int k = 1; k <= kProgrammeEventCount; ++k) {
        if (lines_[k - 1].empty()) continue;
        s += first ? "\n" : ",\n";
        first = false;
        s += indent + "  {\"index\": " + std::to_string(k) +
             ", \"text\": " + jsonQuote(lines_[k - 1]) + "}";
    }
    s += first ? "],\n" : "\n" + indent + "],\n";

    s += indent + "\"tickers\": " + stringList(tickers_) + ",\n";

    s += indent + "\"captions\": [";
    for (size_t i = 0; i < captions_.size(); ++i) {
        s += i ? ",\n" : "\n";
        s += indent + "  {\"lines\": [";
        const auto& lines = captions_[i].lines;
        for (size_t k = 0; k < lines.size(); ++k) {
            const auto& l = lines[k];
            s += (k ? ", " : "") + std::string("{\"text\": ") + jsonQuote(l.text) +
                 ", \"colour\": " + std::to_string(l.colour) +
                 ", \"clear\": " + std::to_string(l.clear) +
                 ", \"return\": " + std::to_string(l.returnFlag) +
                 ", \"wait\": " + std::to_string(l.wait) + "}";
        }
        s += "]}";
    }
    s += captions_.empty() ? "]" : "\n" + indent + "]";
    return s;
}

} // namespace kobal
