#include "ui/FolderTree.h"

#include "ui/SkinPictures.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kobal {
namespace {

// A peek into a subfolder for the expand button stops here and assumes there is one.
constexpr int kPeekLimit = 1024;

bool isFolder(const std::string& path, const dirent* e) {
    if (e->d_type == DT_DIR) return true;
    if (e->d_type != DT_UNKNOWN && e->d_type != DT_LNK) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool listable(const char* name) {
    return name[0] != '.'; // ".", ".." and hidden folders
}

bool hasSubfolder(const std::string& path) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    bool found = false;
    for (int n = 0; !found && n < kPeekLimit; ++n) {
        const dirent* e = ::readdir(d);
        if (!e) break;
        if (listable(e->d_name)) found = isFolder(path + "/" + e->d_name, e);
        if (n + 1 == kPeekLimit) found = true;
    }
    ::closedir(d);
    return found;
}

std::string withSlash(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

bool removableDevice(const QString& device) {
    const QString name = QFileInfo(device).fileName();
    if (name.isEmpty()) return false;
    for (const QString& file : {QStringLiteral("/sys/class/block/%1/removable"),
                                QStringLiteral("/sys/class/block/%1/../removable")}) {
        std::ifstream in(QFile::encodeName(file.arg(name)).toStdString());
        int flag = 0;
        if (in >> flag) return flag == 1;
    }
    return false;
}

} // namespace

std::vector<FolderEntry> listSubfolders(const std::string& path) {
    std::vector<FolderEntry> out;
    const std::string base = withSlash(path);
    DIR* d = ::opendir(base.c_str());
    if (!d) return out;
    while (const dirent* e = ::readdir(d)) {
        if (!listable(e->d_name)) continue;
        const std::string full = base + e->d_name;
        if (!isFolder(full, e)) continue;
        FolderEntry entry;
        entry.name = QFile::decodeName(e->d_name);
        entry.readable = ::access(full.c_str(), R_OK | X_OK) == 0;
        entry.hasSubfolders = entry.readable && hasSubfolder(full);
        out.push_back(std::move(entry));
        if (out.size() >= CFolderTree::kMaxEntries) break;
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return out;
}

// The listing thread's state. The tree clears `tree` when it goes; results are posted to it
// under the lock, so a result never reaches a tree that is gone (Qt drops events posted to a
// deleted object). The thread ends by itself once `stop` is set, even if it was stuck in a
// slow folder meanwhile.
struct CFolderTree::Shared {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::pair<QTreeWidgetItem*, std::string>> jobs;
    bool stop = false;
    CFolderTree* tree = nullptr;

    void run() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            wake.wait(held, [this] { return stop || !jobs.empty(); });
            if (stop) return;
            // Named copies, not a structured binding: clang 14 (the sanitizer build) cannot
            // capture a binding in the lambda below.
            QTreeWidgetItem* const item = jobs.front().first;
            const std::string path = std::move(jobs.front().second);
            jobs.pop_front();
            held.unlock();
            std::vector<FolderEntry> entries = listSubfolders(path);
            held.lock();
            if (stop || !tree) return;
            QMetaObject::invokeMethod(
                tree, [t = tree, item, entries = std::move(entries)] { t->merge(item, entries); },
                Qt::QueuedConnection);
        }
    }
};

CFolderTree::CFolderTree(QWidget* parent)
    : QTreeWidget(parent), shared_(std::make_shared<Shared>()) {
    setObjectName(QString::number(kId));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIndentation(16);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    openFolder = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { list(item); });
    shared_->tree = this;
    std::thread([s = shared_] { s->run(); }).detach();
}

CFolderTree::~CFolderTree() {
    std::lock_guard<std::mutex> held(shared_->lock);
    shared_->tree = nullptr;
    shared_->stop = true;
    shared_->wake.notify_all();
}

std::vector<CFolderTree::Root> CFolderTree::machineRoots() {
    std::vector<Root> roots;
    auto add = [&](QString path, Image image) {
        path = QDir::cleanPath(path);
        for (const Root& r : roots)
            if (r.path == path) return;
        roots.push_back({path, image});
    };
    add(QDir::homePath(), kClosed);
    add(QStringLiteral("/"), kFixed);
    static const QStringList kPseudo = {
        QStringLiteral("proc"),   QStringLiteral("sysfs"),    QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"), QStringLiteral("cgroup"),   QStringLiteral("cgroup2"),
        QStringLiteral("tmpfs"),  QStringLiteral("squashfs"), QStringLiteral("overlay")};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        const QString type = QString::fromLatin1(v.fileSystemType());
        const QString at = v.rootPath();
        if (kPseudo.contains(type) || at.startsWith(QStringLiteral("/proc")) ||
            at.startsWith(QStringLiteral("/sys")) || at.startsWith(QStringLiteral("/dev")))
            continue;
        Image image = kFixed;
        if (type == QStringLiteral("iso9660") || type == QStringLiteral("udf"))
            image = kOptical;
        else if (removableDevice(QString::fromLocal8Bit(v.device())) ||
                 at.startsWith(QStringLiteral("/media/")) ||
                 at.startsWith(QStringLiteral("/run/media/")))
            image = kRemovable;
        add(at, image);
    }
    return roots;
}

QIcon CFolderTree::icon(int image) const {
    static const int kPicture[] = {280, 281, 276, 279, 278, 277};
    QIcon icon;
    icon.addFile(skinPicturePath(QString::number(kPicture[image])), QSize(16, 16));
    // A folder shows itself open while it is the selection.
    if (image == kClosed)
        icon.addFile(skinPicturePath(QString::number(kPicture[kOpen])), QSize(16, 16),
                     QIcon::Selected);
    return icon;
}

void CFolderTree::start(const std::vector<Root>& roots, const QString& initial) {
    const Root* holder = nullptr;
    for (const Root& r : roots) {
        QTreeWidgetItem* item = insert(nullptr, r.path, true, true);
        item->setIcon(0, icon(r.image));
        const QString prefix = r.path == QStringLiteral("/") ? r.path : r.path + '/';
        if ((initial + '/').startsWith(prefix) && (!holder || r.path.size() > holder->path.size()))
            holder = &r;
    }
    if (!holder || initial.isEmpty()) return;
    QTreeWidgetItem* at = child(nullptr, holder->path);
    list(at);
    const QString rest = QDir::cleanPath(initial).mid(holder->path.size());
    for (const QString& part : rest.split('/', Qt::SkipEmptyParts)) {
        QTreeWidgetItem* next = child(at, part);
        if (!next) next = insert(at, part, true, true);
        at->setExpanded(true);
        at = next;
        list(at);
    }
    setCurrentItem(at);
    scrollToItem(at);
}

QTreeWidgetItem* CFolderTree::child(QTreeWidgetItem* parent, const QString& text) const {
    const int n = parent ? parent->childCount() : topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* c = parent ? parent->child(i) : topLevelItem(i);
        if (c->text(0) == text) return c;
    }
    return nullptr;
}

QTreeWidgetItem* CFolderTree::insert(QTreeWidgetItem* parent, const QString& text,
                                     bool hasSubfolders, bool readable) {
    if (QTreeWidgetItem* c = child(parent, text)) return c;
    // Roots keep the order given; folders go in name order among what is there already.
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    if (parent) {
        int at = 0;
        while (at < parent->childCount() &&
               parent->child(at)->text(0).compare(text, Qt::CaseInsensitive) < 0)
            ++at;
        parent->insertChild(at, item);
    } else {
        addTopLevelItem(item);
    }
    item->setIcon(0, icon(kClosed));
    item->setChildIndicatorPolicy(hasSubfolders ? QTreeWidgetItem::ShowIndicator
                                                : QTreeWidgetItem::DontShowIndicator);
    if (!readable) item->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
    return item;
}

QString CFolderTree::pathOf(const QTreeWidgetItem* item) const {
    if (!item) return {};
    QStringList parts;
    while (item->parent()) {
        parts.prepend(item->text(0));
        item = item->parent();
    }
    QString path = item->text(0);
    if (!path.endsWith('/')) path += '/';
    for (const QString& p : parts) path += p + '/';
    return path;
}

QString CFolderTree::selectedPath() const {
    return pathOf(currentItem());
}

void CFolderTree::list(QTreeWidgetItem* item) {
    if (!item) return;
    ++pending_;
    std::lock_guard<std::mutex> held(shared_->lock);
    shared_->jobs.emplace_back(item, QFile::encodeName(pathOf(item)).toStdString());
    shared_->wake.notify_all();
}

void CFolderTree::merge(QTreeWidgetItem* item, const std::vector<FolderEntry>& entries) {
    // Items are never removed while the tree lives, so the pointer still names its item.
    --pending_;
    for (const FolderEntry& e : entries) {
        QTreeWidgetItem* c = child(item, e.name);
        if (c)
            c->setChildIndicatorPolicy(e.hasSubfolders || c->childCount()
                                           ? QTreeWidgetItem::ShowIndicator
                                           : QTreeWidgetItem::DontShowIndicator);
        else
            insert(item, e.name, e.hasSubfolders, e.readable);
    }
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    emit listed(item);
}

void CFolderTree::mousePressEvent(QMouseEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    const QRect r = item ? visualItemRect(item) : QRect();
    // A press on the expand button is the view's own; on the item: select, list and toggle.
    if (event->button() != Qt::LeftButton || !item || event->pos().x() < r.left()) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    setCurrentItem(item);
    setFocus();
    list(item);
    item->setExpanded(!item->isExpanded());
}

void CFolderTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    if (!item) return;
    setCurrentItem(item);
    setFocus();
    list(item);
    const QString blanks27(27, ' '), blanks28(28, ' ');
    const QString text =
        item->parent() ? blanks27 + QStringLiteral("Display Folder ") + item->text(0) + blanks28
                       : blanks27 + QStringLiteral("Display Disk ") + item->text(0) + blanks28;
    QMenu menu(this);
    QAction* show = menu.addAction(text);
    if (menu.exec(event->globalPos()) == show && openFolder) openFolder(pathOf(item));
}

} // namespace kobal
