#pragma once
// The folder tree of the folder choice dialog (tree control 999): this machine's roots (the
// home folder, "/" and the mounted volumes, removable media included) and their folders, each
// item one path component. Folders are listed when they are opened or clicked, on a thread of
// the tree's own, so a slow or hung folder never stops the window; the result is merged on
// the UI thread (a folder listed twice gains nothing). A folder that cannot be listed is shown
// and simply has no children. Hidden folders (a leading dot) are not listed.
//
// Icons 276-281 of the skin: 0 closed folder (280), 1 open folder (281), 2 optical disc (276),
// 3 removable (279), 4 (278, unused here), 5 fixed disk (277).
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

namespace kobal {

// One subfolder as the lister reports it.
struct FolderEntry {
    QString name;
    bool hasSubfolders = false; // at least one listable subfolder inside
    bool readable = true;       // can be entered and listed
};

// Lists the subfolders of a path: sorted by name, at most kMaxEntries, hidden ones left out.
// Runs on any thread; an unreadable folder gives nothing.
std::vector<FolderEntry> listSubfolders(const std::string& path);

class CFolderTree : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kId = 999;
    static constexpr size_t kMaxEntries = 4096;

    enum Image { kClosed = 0, kOpen = 1, kOptical = 2, kRemovable = 3, kFloppy = 4, kFixed = 5 };

    struct Root {
        QString path; // absolute, without a trailing "/" (but "/" itself)
        Image image = kFixed;
    };

    explicit CFolderTree(QWidget* parent = nullptr);
    ~CFolderTree() override;

    // The home folder, "/" and the mounted volumes, each once.
    static std::vector<Root> machineRoots();

    // Adds the roots, then walks `initial` from the deepest root holding it, adding each of
    // its components (listed as they are added) and selecting the last. A folder that does not
    // exist is added all the same.
    void start(const std::vector<Root>& roots, const QString& initial);

    // The path of an item: its root's path and the components below it, ending with "/".
    QString pathOf(const QTreeWidgetItem* item) const;
    // The path of the current item ("" when none).
    QString selectedPath() const;
    // The child of parent (nullptr: a root) with exactly that text, else nullptr.
    QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& text) const;
    // Asks for the listing of an item's folder (answered later on the UI thread).
    void list(QTreeWidgetItem* item);
    // Listings asked for and not merged yet.
    int pending() const { return pending_; }

    // Opens a path in the file manager (tests replace it).
    std::function<void(const QString& path)> openFolder;

signals:
    void listed(QTreeWidgetItem* item);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Shared;
    QTreeWidgetItem* insert(QTreeWidgetItem* parent, const QString& text, bool hasSubfolders,
                            bool readable);
    void merge(QTreeWidgetItem* item, const std::vector<FolderEntry>& entries);
    QIcon icon(int image) const;

    std::shared_ptr<Shared> shared_;
    int pending_ = 0;
};

} // namespace kobal
