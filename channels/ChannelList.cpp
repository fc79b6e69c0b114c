#include "channels/ChannelList.h"

#include "broadcast/AreaPresetTable.h"
#include "platform/Profile.h"

#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <cctype>

namespace kobal {
namespace {

std::string sectionName(int n) {
    return "LIST" + std::to_string(n);
}

std::string slotKey(int n, int slot, const char* what) {
    return "LIST" + std::to_string(n) + "_CH" + std::to_string(slot) + "_" + what;
}

} // namespace

ChannelList::ChannelList() : listName_("Channel List") {}

void ChannelList::bind(int number, const std::string& path) {
    number_ = number;
    path_ = path;
    for (auto& n : names_) n.clear();
    flags_.fill(0);
}

bool ChannelList::load() {
    if (path_.empty()) return false;
    const std::string section = sectionName(number_);
    listName_ = Profile::getString(path_, section, section + "_LISTNAME",
                                   "チャンネルリスト " + std::to_string(number_ + 1), kStoredChars);
    // The stored count is not trusted: the flags themselves say which slots are enabled.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        names_[slot] =
            Profile::getString(path_, section, slotKey(number_, slot, "NAME"), "", kStoredChars);
        flags_[slot] = atoiText(
            Profile::getString(path_, section, slotKey(number_, slot, "ENABLE"), "", kStoredChars));
    }
    return true;
}

bool ChannelList::save() const {
    if (path_.empty()) return false;
    const std::string section = sectionName(number_);
    // Write failures (read-only file) are not reported to the user; the result says it.
    bool ok = Profile::writeString(path_, section, section + "_LISTNAME", listName_);
    ok = Profile::writeInt(path_, section, section + "_COUNT", enabledCount()) && ok;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ok = Profile::writeString(path_, section, slotKey(number_, slot, "NAME"), names_[slot]) &&
             ok;
        ok =
            Profile::writeInt(path_, section, slotKey(number_, slot, "ENABLE"), flags_[slot]) && ok;
    }
    return ok;
}

std::string ChannelList::name(int slot) const {
    return validSlot(slot) ? names_[slot] : "";
}

int ChannelList::flag(int slot) const {
    return validSlot(slot) ? flags_[slot] : 0;
}

namespace {
// A line break would end the INI line early and make the rest of the name a line of its own.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}
} // namespace

void ChannelList::setName(int slot, const std::string& name) {
    if (validSlot(slot)) names_[slot] = oneLine(name);
}

void ChannelList::setListName(const std::string& name) {
    listName_ = oneLine(name);
}

void ChannelList::setEnabled(int slot, int flag) {
    if (validSlot(slot)) flags_[slot] = flag;
}

void ChannelList::set(int slot, const std::string& name, int flag) {
    setName(slot, name);
    setEnabled(slot, flag);
}

void ChannelList::clear() {
    for (auto& n : names_) n.clear();
    flags_.fill(0);
}

int ChannelList::enabledCount() const {
    int count = 0;
    for (int f : flags_)
        if (f != 0) ++count;
    return count;
}

std::vector<int> ChannelList::enabledSlots() const {
    std::vector<int> out;
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (flags_[slot] != 0) out.push_back(slot);
    return out;
}

std::vector<std::string> ChannelList::enabledNames() const {
    std::vector<std::string> names;
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (flags_[slot] != 0) names.push_back(cutToUnits(names_[slot], kNameUnits));
    return names;
}

std::vector<ChannelList::NameBuffer> ChannelList::enabledNameBuffers() const {
    std::vector<NameBuffer> out;
    for (const std::string& name : enabledNames()) {
        NameBuffer buffer{};
        const QString text = QString::fromStdString(name);
        for (qsizetype i = 0; i < text.size() && i < kNameUnits; ++i)
            buffer[size_t(i)] = text.at(i).unicode();
        out.push_back(buffer);
    }
    return out;
}

void ChannelList::copyFrom(const ChannelList& other) {
    if (&other == this) return;
    names_ = other.names_;
    flags_ = other.flags_;
    listName_ = other.listName_;
}

void ChannelList::fillFromArea(int area) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::string station;
        if (AreaPresetTable::isPresetSlot(area, slot, &station))
            set(slot, station, 1);
        else
            set(slot, defaultSlotName(slot), 0);
    }
}

std::string ChannelList::defaultSlotName(int slot) {
    return "CH" + std::to_string(slot + 13);
}

std::string ChannelList::cutToUnits(const std::string& text, int maxUnits) {
    if (maxUnits <= 0) return {};
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (s.size() <= maxUnits) return text;
    qsizetype n = maxUnits;
    if (s.at(n - 1).isHighSurrogate()) --n; // never keep half a surrogate pair
    return s.left(n).toStdString();
}

bool loadChannelLists(ChannelLists& lists, const std::string& path) {
    bool ok = true;
    for (int n = 0; n < ChannelList::kListCount; ++n) {
        lists[n].bind(n, path);
        ok = lists[n].load() && ok;
    }
    return ok;
}

namespace {

bool isListSection(const std::string& name) {
    for (int n = 0; n < ChannelList::kListCount; ++n) {
        const std::string ours = sectionName(n);
        if (name.size() == ours.size() &&
            std::equal(name.begin(), name.end(), ours.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            }))
            return true;
    }
    return false;
}

void appendList(std::string& text, const ChannelList& list) {
    const int n = list.number();
    const std::string section = sectionName(n);
    text += "[" + section + "]\n";
    text += section + "_LISTNAME=" + list.listName() + "\n";
    text += section + "_COUNT=" + std::to_string(list.enabledCount()) + "\n";
    for (int slot = 0; slot < ChannelList::kSlotCount; ++slot) {
        text += slotKey(n, slot, "NAME") + "=" + list.name(slot) + "\n";
        text += slotKey(n, slot, "ENABLE") + "=" + std::to_string(list.flag(slot)) + "\n";
    }
    text += "\n";
}

} // namespace

bool saveChannelLists(const ChannelLists& lists) {
    // The five lists share chlist.ini: one replacement of the whole file instead of 510 key
    // writes, each of which would rewrite it. Sections of other owners are carried over.
    const std::string& path = lists[0].path();
    bool oneFile = !path.empty();
    for (int n = 0; n < ChannelList::kListCount; ++n)
        oneFile = oneFile && lists[n].path() == path && lists[n].number() == n;
    if (!oneFile) {
        bool ok = true;
        for (const auto& list : lists) ok = list.save() && ok;
        return ok;
    }

    std::string text;
    std::vector<std::string> kept;
    for (const std::string& section : Profile::sections(path)) {
        if (isListSection(section) || std::find(kept.begin(), kept.end(), section) != kept.end())
            continue;
        kept.push_back(section);
        text += "[" + section + "]\n";
        for (const std::string& key : Profile::keys(path, section))
            text += key + "=" + Profile::getString(path, section, key, "") + "\n";
        text += "\n";
    }
    for (const auto& list : lists) appendList(text, list);

    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace kobal
