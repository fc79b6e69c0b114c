#include "channels/ChannelListFile.h"

#include "platform/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#include <set>

namespace kobal {
namespace {

constexpr int kNameUnits = ChannelListFile::kNameBytes / 2;
const char* const kTitle = "Kobal メッセージ";

void putU16(std::string& out, char16_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
}

void putI32(std::string& out, int v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

char16_t getU16(const std::string& in, size_t at) {
    return static_cast<char16_t>(static_cast<unsigned char>(in[at]) |
                                 (static_cast<unsigned char>(in[at + 1]) << 8));
}

int getI32(const std::string& in, size_t at) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= uint32_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return static_cast<int>(u);
}

// The units before the terminator, or -1 when there is none within maxUnits.
int terminatedLength(const std::string& in, size_t at, int maxUnits) {
    for (int i = 0; i < maxUnits; ++i)
        if (getU16(in, at + 2 * size_t(i)) == 0) return i;
    return -1;
}

QString fileDialogFilter() {
    return QStringLiteral("Channel list files (*.chl);;All Files (*)");
}

QString runFileDialog(QWidget* parent, bool save) {
    const QString cwd = QDir::currentPath();
    QFileDialog dialog(parent, save ? QStringLiteral("Save Channel List(s)")
                                    : QStringLiteral("open Channel List(s)"));
    dialog.setNameFilter(fileDialogFilter());
    dialog.setDefaultSuffix(QStringLiteral("chl"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QString chosen;
    if (runModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        chosen = dialog.selectedFiles().first();
    QDir::setCurrent(cwd);
    return chosen;
}

} // namespace

std::string ChannelListFile::encode(const std::vector<ChlRecord>& records) {
    std::string out;
    const size_t count = std::min<size_t>(records.size(), kMaxCount);
    out.reserve(kHeaderBytes + count * kRecordBytes);
    const std::string digits = std::to_string(count);
    for (char c : digits) putU16(out, static_cast<char16_t>(c));
    out.resize(kHeaderBytes, '\0');
    for (size_t i = 0; i < count; ++i) {
        const ChlRecord& r = records[i];
        putI32(out, r.slot);
        const QString name =
            QString::fromStdString(ChannelList::cutToUnits(r.name, kNameUnits - 1));
        const size_t nameAt = out.size();
        for (QChar c : name) putU16(out, c.unicode());
        out.resize(nameAt + kNameBytes, '\0');
        putI32(out, r.flag);
    }
    return out;
}

ChannelListFile::Error ChannelListFile::decode(const std::string& bytes,
                                               std::vector<ChlRecord>* records) {
    if (records) records->clear();
    if (bytes.size() < size_t(kHeaderBytes)) return Error::Count;
    // The count: one to four decimal digits, then the terminator.
    const int digits = terminatedLength(bytes, 0, kHeaderBytes / 2);
    if (digits < 1 || digits > 4) return Error::Count;
    int count = 0;
    for (int i = 0; i < digits; ++i) {
        const char16_t u = getU16(bytes, 2 * size_t(i));
        if (u < u'0' || u > u'9') return Error::Count;
        count = count * 10 + (u - u'0');
    }
    const size_t body = bytes.size() - kHeaderBytes;
    const size_t present = body / kRecordBytes;
    if (present < size_t(count))
        return body % kRecordBytes != 0 ? Error::CutRecord : Error::MissingRecords;

    std::vector<ChlRecord> out;
    out.reserve(size_t(count));
    std::set<int> seen;
    for (int i = 0; i < count; ++i) {
        const size_t at = kHeaderBytes + size_t(i) * kRecordBytes;
        ChlRecord r;
        r.slot = getI32(bytes, at);
        if (!ChannelList::validSlot(r.slot)) return Error::Slot;
        if (!seen.insert(r.slot).second) return Error::DuplicateSlot;
        const int units = terminatedLength(bytes, at + 4, kNameUnits);
        if (units < 0) return Error::Name;
        std::u16string name;
        for (int k = 0; k < units; ++k) name.push_back(getU16(bytes, at + 4 + 2 * size_t(k)));
        r.name = QString::fromUtf16(name.data(), qsizetype(name.size())).toStdString();
        r.flag = getI32(bytes, at + 4 + kNameBytes);
        out.push_back(std::move(r));
    }
    if (records) *records = std::move(out);
    return Error::None;
}

std::string ChannelListFile::errorText(Error error) {
    switch (error) {
    case Error::None:
        return {};
    case Error::Open:
        return "チャンネルリストファイルを読み込めません。";
    case Error::Count:
        return "チャンネルリストファイルのチャンネル数が読み取れません。";
    case Error::MissingRecords:
        return "チャンネルリストファイルのチャンネルが記録された数より少なくなっています。";
    case Error::CutRecord:
        return "チャンネルリストファイルが途中で切れています。";
    case Error::Slot:
        return "チャンネルリストファイルに範囲外のチャンネルがあります。";
    case Error::DuplicateSlot:
        return "チャンネルリストファイルに同じチャンネルが重複しています。";
    case Error::Name:
        return "チャンネルリストファイルのチャンネル名が壊れています。";
    }
    return {};
}

bool ChannelListFile::write(const QString& path, const std::vector<ChlRecord>& records) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::string bytes = encode(records);
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

ChannelListFile::Error ChannelListFile::read(const QString& path, std::vector<ChlRecord>* records) {
    if (records) records->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Error::Open;
    // Never more than the largest count can name; anything beyond is not looked at.
    constexpr qint64 kMaxBytes = kHeaderBytes + qint64(kMaxCount) * kRecordBytes;
    const QByteArray data = file.read(kMaxBytes);
    if (file.error() != QFileDevice::NoError) return Error::Open;
    return decode(std::string(data.constData(), size_t(data.size())), records);
}

std::vector<ChlRecord> ChannelListFile::collect(const std::vector<ChlScanResult>& results,
                                                const ChannelList::Flags& found,
                                                const ChannelList::Flags* filter) {
    std::vector<ChlRecord> out;
    for (int slot = 0; slot < ChannelList::kSlotCount; ++slot) {
        const ChlScanResult* first = nullptr;
        for (const auto& r : results)
            if (r.physicalIndex == slot) {
                first = &r;
                break;
            }
        if (!first || found[slot] == 0) continue;
        if (filter && (*filter)[slot] == 0) continue;
        out.push_back({slot, first->name, filter ? (*filter)[slot] : 1});
    }
    return out;
}

bool ChannelListFile::saveRecords(const QString& path, const std::vector<ChlRecord>& records) {
    if (write(path, records)) return true;
    messageBox("Error!!", kTitle, MB_OK | MB_ICONERROR);
    return false;
}

bool ChannelListFile::openScanParameters(const QString& path, ChlScanParameters* parameters) {
    std::vector<ChlRecord> records;
    const Error error = read(path, &records);
    if (error != Error::None) {
        const std::string name = QFileInfo(path).fileName().toStdString();
        messageBox(name + "\n\n" + errorText(error), kTitle, MB_OK | MB_ICONERROR);
        return false;
    }
    if (parameters) {
        ChlScanParameters p;
        for (const auto& r : records) {
            p.channelSlots.push_back(r.slot);
            p.names.push_back(r.name);
            p.filter[r.slot] = r.flag;
        }
        *parameters = std::move(p);
    }
    return true;
}

QString ChannelListFile::chooseOpenPath(QWidget* parent) {
    return runFileDialog(parent, false);
}

QString ChannelListFile::chooseSavePath(QWidget* parent) {
    return runFileDialog(parent, true);
}

} // namespace kobal
