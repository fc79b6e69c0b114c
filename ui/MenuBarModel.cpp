#include "ui/MenuBarModel.h"

#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"
#include "ui/SkinPictures.h"

#include <QPainter>
#include <cmath>

namespace kobal::menu {
namespace {

const char16_t* const kTitles[kColumns] = {u"開始", u"音声",   u"チャンネル",
                                           u"表示", u"ツール", u"ヘルプ"};
constexpr int kBands[kColumns + 1] = {0, 37, 74, 146, 183, 231, 280};

const char16_t* const kStart[] = {u"開始 ",
                                  u"停止 ",
                                  u"--",
                                  u"タイムシフト開始 ",
                                  u"タイムシフト再生 ",
                                  u"タイムシフト停止 ",
                                  u"録画開始/停止 ",
                                  u"終了 "};
const char16_t* const kSound[] = {u"音量アップ ", u"音量ダウン ", u"--", u"ミュート ",
                                  u"音声多重切換>"};
const char16_t* const kChannel[] = {u"シングルサーチ ", u"フルサーチ ", u"リストサーチ ", u"--",
                                    u"チャンネルリストの設定 "};
const char16_t* const kView[] = {
    u"通常モード ",           u"透過モード ",     u"シアターモード ",   u"--",
    u"チャンネルリスト表示 ", u"再生パネル表示 ", u"予約録画設定表示 ", u"チャンネル表示 ",
    u"受信レベル表示 ",       u"字幕表示 ",       u"常に手前に表示 ",   u"画面サイズ変更>"};
const char16_t* const kTools[] = {u"指定時刻アラートの設定 ", u"オプション "};
const char16_t* const kHelp[] = {u"目次 ", u"キー操作一覧 ", u"ソフトウェアアップデート ",
                                 u"バージョン情報 "};
const char16_t* const kAudioSub[] = {u"主音声 ", u"副音声 "};
const char16_t* const kSizeSub[] = {u"等倍 ", u"2倍 ", u"最大化 "};

std::size_t length(const char16_t* t) {
    return std::char_traits<char16_t>::length(t);
}

} // namespace

const char16_t* title(int column) {
    return column >= 0 && column < kColumns ? kTitles[column] : u"";
}

int bandStart(int column) {
    return kBands[std::clamp(column, 0, kColumns - 1)];
}

int bandEnd(int column) {
    return kBands[std::clamp(column, 0, kColumns - 1) + 1];
}

int hitTitle(int x) {
    if (x < 37) return 0;
    if (x < 74) return 1;
    if (x < 146) return 2;
    if (x <= 182) return 3;
    if (x <= 230) return 4;
    return 5;
}

std::span<const char16_t* const> items(int list) {
    switch (list) {
    case 0:
        return kStart;
    case 1:
        return kSound;
    case 2:
        return kChannel;
    case 3:
        return kView;
    case 4:
        return kTools;
    case 5:
        return kHelp;
    case kSubAudio:
        return kAudioSub;
    case kSubSize:
        return kSizeSub;
    default:
        return {};
    }
}

bool isSeparator(const char16_t* text) {
    return std::u16string_view(text) == u"--";
}

bool opensSubMenu(const char16_t* text) {
    const std::size_t n = length(text);
    return n > 0 && text[n - 1] == u'>';
}

int subMenuOf(int list, int item) {
    const auto all = items(list);
    if (item < 0 || item >= int(all.size()) || !opensSubMenu(all[size_t(item)])) return -1;
    return list == 1 ? kSubAudio : kSubSize;
}

QString shownText(const char16_t* text) {
    const std::size_t n = length(text);
    return QString::fromUtf16(text, qsizetype(n > 0 ? n - 1 : 0));
}

int itemHeight(int list, int item) {
    const auto all = items(list);
    if (item < 0 || item >= int(all.size())) return 0;
    return isSeparator(all[size_t(item)]) ? kSeparatorHeight : kItemHeight;
}

int itemTop(int list, int item) {
    int top = 0;
    for (int i = 0; i < item; ++i) top += itemHeight(list, i);
    return top;
}

int dropHeight(int list) {
    return itemTop(list, int(items(list).size()));
}

int itemAt(int list, QPoint pos) {
    if (pos.x() < 0 || pos.x() >= kDropWidth || pos.y() < 0) return -1;
    const auto all = items(list);
    int top = 0;
    for (int i = 0; i < int(all.size()); ++i) {
        const int h = itemHeight(list, i);
        if (pos.y() < top + h) return isSeparator(all[size_t(i)]) ? kSeparatorHit : i;
        top += h;
    }
    return -1;
}

int stepItem(int list, int from, int direction) {
    const auto all = items(list);
    const int n = int(all.size());
    if (n == 0) return -1;
    int i = from < 0 ? (direction > 0 ? -1 : n) : from;
    for (int k = 0; k < n; ++k) {
        i = ((i + direction) % n + n) % n;
        if (!isSeparator(all[size_t(i)])) return i;
    }
    return -1;
}

QFont barFont() {
    return skinFont(kFontMsGothic, 9);
}

QFont itemFont() {
    return skinFont(kFontMincho, 9);
}

QFont markFont() {
    return skinFont(kFontMincho, 7);
}

QImage renderMenuBar(int hovered, bool open, qreal dpr) {
    QImage out(QSize(kBarWidth, kBarHeight) * dpr, QImage::Format_RGB32);
    if (out.isNull()) return out;
    out.setDevicePixelRatio(dpr);
    out.fill(fromColourRef(colour::kMenuBar));
    QPainter p(&out);
    p.setFont(barFont());
    for (int i = 0; i < kColumns; ++i) {
        const QRect band(bandStart(i), 0, bandEnd(i) - bandStart(i), kBarHeight);
        const bool lit = open && i == hovered;
        if (lit) p.fillRect(band, fromColourRef(colour::kMenuOpen));
        p.setPen(fromColourRef(lit ? 0xFFFFFF : colour::kMenuBarText));
        p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, QString::fromUtf16(title(i)));
    }
    return out;
}

QImage renderDropDown(int list, int hovered, const Checks& checks, qreal dpr) {
    const QSize size(kDropWidth, std::max(1, dropHeight(list)));
    QImage out(size * dpr, QImage::Format_RGB32);
    if (out.isNull()) return out;
    out.setDevicePixelRatio(dpr);
    out.fill(fromColourRef(colour::kMenuOpen));
    QPainter p(&out);
    const QPen separator(fromColourRef(colour::kMenuSeparator), 1);
    const QImage mark = skinImage(QStringLiteral("499"), dpr > 1.0 ? 2 : 1);
    const QImage markLit = skinImage(QStringLiteral("500"), dpr > 1.0 ? 2 : 1);
    const auto all = items(list);
    int top = 0;
    for (int i = 0; i < int(all.size()); ++i) {
        const char16_t* text = all[size_t(i)];
        const int h = itemHeight(list, i);
        if (isSeparator(text)) {
            p.setPen(separator);
            const qreal y = top + h - 3 + 0.5;
            p.drawLine(QPointF(3, y), QPointF(kDropWidth - 3, y));
        } else {
            const QRect band(0, top, kDropWidth, h);
            const bool lit = i == hovered;
            if (lit) p.fillRect(band, fromColourRef(colour::kHoverFill));
            p.setPen(fromColourRef(lit ? colour::kHoverText : colour::kPopupText));
            p.setFont(itemFont());
            p.drawText(QRect(20, top, kDropWidth - 20, h),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText(text));
            if (opensSubMenu(text)) {
                p.setFont(markFont());
                p.drawText(QRect(kDropWidth - 15, top, 15, h), Qt::AlignLeft | Qt::AlignVCenter,
                           QStringLiteral(">"));
            }
            if (i < kMaxItems && checks[size_t(i)])
                p.drawImage(QRectF(5, top + h - 16, 11, 11), lit ? markLit : mark);
        }
        top += h;
    }
    if (list == kSubAudio || list == kSubSize) {
        p.setPen(separator);
        p.drawLine(QPointF(0.5, 0), QPointF(0.5, size.height()));
    }
    return out;
}

} // namespace kobal::menu
