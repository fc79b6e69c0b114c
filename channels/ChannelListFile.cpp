#include "channels/ChannelListFile.h"

#include "platform/ByteReader.h"
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
    ByteReader file(bytes.data(), bytes.size());
    // The count: one to four decimal digits, then the terminator.
    bool terminated = false;
    const std::u16string digits = file.utf16le(kHeaderBytes / 2, &terminated);
    if (!terminated || digits.empty() || digits.size() > 4) return Error::Count;
    int count = 0;
    for (const char16_t u : digits) {
        if (u < u'0' || u > u'9') return Error::Count;
        count = count * 10 + (u - u'0');
    }
    const size_t body = file.remaining();
    const size_t present = body / kRecordBytes;
    if (present < size_t(count))
        return body % kRecordBytes != 0 ? Error::CutRecord : Error::MissingRecords;

    std::vector<ChlRecord> out;
    out.reserve(size_t(count));
    std::set<int> seen;
    for (int i = 0; i < count; ++i) {
        ByteReader record = file.sub(kRecordBytes);
        ChlRecord r;
        r.slot = static_cast<int>(record.u32le());
        if (!ChannelList::validSlot(r.slot)) return Error::Slot;
        if (!seen.insert(r.slot).second) return Error::DuplicateSlot;
        const std::u16string name = record.utf16le(kNameUnits, &terminated);
        if (!terminated) return Error::Name;
        r.name = QString::fromUtf16(name.data(), qsizetype(name.size())).toStdString();
        r.flag = static_cast<int>(record.u32le());
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
