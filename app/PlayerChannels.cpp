// The main window's channel commands: user scans, the channel panel and pop-up, the history,
// channel list files and power off's probe. The scan itself runs on the scan thread
// (started by startScan below); everything else here runs on the UI thread.
#include "app/CPlayerDlg.h"

#include "app/ChannelPanel.h"
#include "broadcast/AreaPresetTable.h"
#include "channels/ChannelListDialog.h"
#include "channels/ChannelListFile.h"
#include "engine/TunerSession.h"
#include "platform/Dialogs.h"
#include "tuner/CTDMBDll.h"
#include "ui/ChannelPopup.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <thread>

namespace kobal {

void CPlayerDlg::setScanParameters(const ChannelList& list) {
    scanSlots_ = list.enabledSlots();
    scanNames_ = list.enabledNameBuffers();
    ChannelScan::Filter f{};
    const ChannelList::Flags flags = list.flagsCopy();
    for (size_t k = 0; k < f.size(); ++k) f[k] = flags[k] != 0;
    scan_.setFilter(f);
}

void CPlayerDlg::ensurePanel() {
    if (panel_) return;
    panel_ = new CChannelPanel(this);
    connect(panel_, &CChannelPanel::lineChosen, this, &CPlayerDlg::chooseChannelLine);
    connect(panel_, &CChannelPanel::command, this, &CPlayerDlg::onCommand);
}

void CPlayerDlg::toggleChannelPanel() {
    if (s_.scanning || s_.sourceKind == 3) return;
    ensurePanel();
    if (panel_->isVisible()) {
        panel_->hide();
        return;
    }
    panel_->placeBeside(this);
    panel_->show();
}

void CPlayerDlg::userScan(ScanMode kind) {
    if (!s_.powerOn || s_.scanning) return;
    if (s_.recording &&
        messageBox("チャンネルサーチを行うと録画が停止します。チャンネルサーチを行いますか",
                   "Kobal メッセージ", MB_YESNO) != IDYES)
        return;
    if (kind != ScanSingle) {
        history_.reset();
        if (panel_) panel_->clear();
    }
    stopPlayback();
    if (kind == ScanArbitrary) setScanParameters(lists_[size_t(start_.channels.listNumber)]);
    startScan(kind);
}

void CPlayerDlg::scanChannelListNow(const ChannelList& list) {
    // Runs on the scan thread like every scan, so the window stays responsive.
    if (s_.scanning) return;
    setScanParameters(list);
    history_.reset();
    if (panel_) panel_->clear();
    stopPlayback();
    startScan(ScanArbitrary);
}

void CPlayerDlg::showChannelListSettings() {
    if (!ChannelListDialog::mayOpen(s_.scanning, s_.sourceKind == 3, s_.recording)) return;
    Settings& kept = config_.settings();
    ChannelListDialog dialog(start_.channels.area, start_.channels.listNumber, lists_, this, this);
    // OK has copied the lists back and started the scan of the chosen list; the window takes
    // over its area and list number, stored with the other settings at close.
    if (runModal(dialog) != QDialog::Accepted) return;
    start_.channels.area = kept.areaNum = dialog.area();
    start_.channels.listNumber = kept.listNum = dialog.listNumber();
}

void CPlayerDlg::powerOffScan(int slot) {
    if (s_.scanning || !session_) return;
    CTDMBDll& tuner = session_->tuner();
    s_.scanning = true;
    quietScan_ = true;
    scanKind_ = ScanSingle;
    singleSlot_ = slot;
    updateCursor();
    if (scanThread_.joinable()) scanThread_.join();
    QPointer<CPlayerDlg> self(this);
    scanThread_ = std::thread([self, &tuner, slot] {
        tuner.ScanSingleChannel(slot);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) self->scanFinished();
            },
            Qt::QueuedConnection);
    });
}

void CPlayerDlg::chooseChannelLine(int row) {
    if (!panel_) return;
    if (channelChangeRefused()) {
        panel_->selectKey(session_ ? session_->currentKey() : std::string());
        return;
    }
    if (busy()) return;
    const std::string key = panel_->keyOfLine(row);
    if (!key.empty()) tuneKey(key);
}

void CPlayerDlg::historyStep(int direction) {
    if (!panel_ || channelChangeRefused()) return;
    const std::string key = direction < 0 ? history_.back() : history_.forward();
    if (key.empty()) return;
    // Back goes to the line of the key's slot, forward to the line of the very key.
    std::string line;
    for (int row = 0; row < panel_->lineCount() && line.empty(); ++row) {
        const std::string k = panel_->keyOfLine(row);
        if (direction < 0 ? ChannelScan::slotOfKey(k) == ChannelScan::slotOfKey(key) : k == key)
            line = k;
    }
    if (line.empty()) return;
    historyFlag_ = false;
    tuneKey(line);
    historyFlag_ = true;
}

void CPlayerDlg::showChannelPopup(const QPoint& globalPos) {
    if (!panel_ || panel_->lineCount() == 0) return;
    if (!popup_) {
        popup_ = new CChannelPopup(this);
        connect(popup_, &CChannelPopup::chosen, this, [this](int row) {
            popup_->hide();
            chooseChannelLine(row);
        });
    }
    popup_->setItems(panel_->lineTexts());
    popup_->popup(globalPos);
}

void CPlayerDlg::openChannelListFile(const QString& path) {
    if (!s_.powerOn || s_.scanning) return;
    ChlScanParameters p;
    if (!ChannelListFile::openScanParameters(path, &p)) return; // refused, nothing changed
    if (s_.recording &&
        messageBox("チャンネルサーチを行うと録画が停止します。チャンネルサーチを行いますか",
                   "Kobal メッセージ", MB_YESNO) != IDYES)
        return;
    scanSlots_ = p.channelSlots;
    scanNames_.assign(p.names.size(), ChannelList::NameBuffer{});
    for (size_t i = 0; i < p.names.size(); ++i) {
        const std::u16string name =
            QString::fromStdString(p.names[i]).toStdU16String().substr(0, ChannelList::kNameUnits);
        std::copy(name.begin(), name.end(), scanNames_[i].begin());
    }
    ChannelScan::Filter f{};
    for (size_t k = 0; k < f.size(); ++k) f[k] = p.filter[k] != 0;
    scan_.setFilter(f);
    ensurePanel();
    history_.reset();
    panel_->clear();
    stopPlayback();
    startScan(ScanArbitrary);
}

void CPlayerDlg::saveChannelListFile(const QString& path) {
    if (!panel_ || !session_) return;
    const CTDMBDll& tuner = session_->tuner();
    std::vector<ChlScanResult> results;
    for (const ChannelRecord& r : scan_.records())
        results.push_back({r.physicalIndex, QString::fromStdU16String(r.name).toStdString()});
    ChannelList::Flags found{};
    for (size_t k = 0; k < found.size(); ++k) found[k] = tuner.channelInfo[k].found ? 1 : 0;
    ChannelList::Flags filter{};
    if (scan_.filter())
        for (size_t k = 0; k < filter.size(); ++k) filter[k] = (*scan_.filter())[k] ? 1 : 0;
    ChannelListFile::saveRecords(
        path, ChannelListFile::collect(results, found, scan_.filter() ? &filter : nullptr));
}

// --- scans ---------------------------------------------------------------------------------------

bool CPlayerDlg::startScan(ScanMode kind) {
    if (s_.scanning || !session_) return true;
    CTDMBDll& tuner = session_->tuner();
    const int area = start_.channels.area;
    if (kind == ScanArea) {
        ChannelScan::Filter f{};
        for (int k = 0; k < 50; ++k) f[size_t(k)] = AreaPresetTable::isPresetSlot(area, k);
        scan_.setFilter(f);
    } else if (kind == ScanAll) {
        setScanParameters(lists_[size_t(start_.channels.listNumber)]);
        ChannelScan::Filter f;
        f.fill(true);
        scan_.setFilter(f);
    }
    // An arbitrary scan uses the parameters and filter in force: the current list's (start-up,
    // the Area key, the list dialog) or a channel list file's.
    if (panel_) singleSlot_ = std::max(0, panel_->selectedSlot());
    session_->setCurrentKey("");
    scanKind_ = kind;
    tuner.Close();
    if (!tuner.Open(nullptr)) {
        startTimerId(timers::kScanRetry, 2000);
        return false;
    }
    stopPlayback();
    s_.scanning = true;
    updateCursor();
    showMessage(QStringLiteral("チャンネルサーチ中です。しばらくお待ちください。"), -1);
    std::vector<int> slotList = scanSlots_;
    std::vector<ChannelList::NameBuffer> names = scanNames_;
    if (scanThread_.joinable()) scanThread_.join();
    QPointer<CPlayerDlg> self(this);
    scanThread_ = std::thread([self, &tuner, kind, area, single = singleSlot_,
                               slotList = std::move(slotList), names = std::move(names)] {
        static_assert(sizeof(ChannelList::NameBuffer) == sizeof(veltra::ScanName));
        const auto* n = reinterpret_cast<const veltra::ScanName*>(names.data());
        switch (kind) {
        case ScanAll:
            tuner.ScanAllChannel(area, slotList.data(), n, int(slotList.size()));
            break;
        case ScanArea:
            tuner.ScanAreaChannel(area);
            break;
        case ScanArbitrary:
            tuner.ScanArbitraryChannel(slotList.data(), n, int(slotList.size()));
            break;
        case ScanSingle:
            tuner.ScanSingleChannel(single);
            break;
        default:
            break;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) self->scanFinished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void CPlayerDlg::scanFinished() {
    if (scanThread_.joinable()) scanThread_.join();
    s_.scanning = false;
    updateCursor();
    showMessage(QString(), 0);
    if (s_.closing || !session_) return;
    CTDMBDll& tuner = session_->tuner();
    ScanTable table;
    for (int k = 0; k < 50; ++k) {
        const veltra::ChannelInfo& c = tuner.channelInfo[k];
        ScanEntry& e = table[size_t(k)];
        e.found = c.found;
        e.physicalIndex = c.physicalIndex;
        e.identifier = c.identifier;
        e.name = std::u16string(c.name, std::char_traits<char16_t>::length(c.name));
        e.tuneA = c.tuneA;
        e.tuneB = c.tuneB;
    }
    ensurePanel();
    if (scanKind_ != ScanSingle)
        scan_.rebuild(table, scanKind_);
    else
        scan_.markSingle(table, singleSlot_);
    if (quietScan_) {
        // Power off's probe of the watched channel: the marks change, nothing is tuned.
        quietScan_ = false;
        scanKind_ = ScanNone;
        panel_->fill(scan_, "");
        return;
    }
    bool rewrite = false;
    // A start within an alarm's window tunes the alarm's channel, once.
    const std::string key =
        scan_.chooseKey(table, config_.ReadCurrentChannel(), scanKind_, &rewrite, requestedSlot_);
    requestedSlot_ = -1;
    if (rewrite) config_.writeCurrentChannel(key);
    scanKind_ = ScanNone;
    panel_->fill(scan_, key);
    if (key.empty()) {
        showMessage(QStringLiteral("チャンネルが見つかりません。"), -1);
        return;
    }
    tuneKey(key);
}

bool CPlayerDlg::channelChangeRefused() {
    if (!s_.recording) return false;
    messageBox("録画中にチャンネルを変更することはできません。", "Kobal メッセージ", MB_OK);
    return true;
}

} // namespace kobal
