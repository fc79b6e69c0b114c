// The folder tree on real folders: the initial folder opened down to its last component,
// lazy listing off the UI thread, no duplicates, folders that cannot be listed, paths.
#include "ui/FolderTree.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kobal;
namespace fs = std::filesystem;

namespace {

bool listingsDone(const CFolderTree& tree) {
    return test::waitUntil([&] { return tree.pending() == 0; }, std::chrono::seconds(5), true);
}

QStringList childTexts(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

} // namespace

TEST(FolderTree, OpensTheInitialFolderAndListsLazilyWithoutDuplicates) {
    test::ensureQtApp();
    const fs::path root = test::makeTempDir("tree");
    for (const char* d : {"Rec/TV/news", "Rec/Radio", "Rec/.hidden", "Music", "locked/inside"})
        fs::create_directories(root / d);
    test::writeFile((root / "Rec/file.txt").string(), "x");  // files are not folders
    fs::create_symlink(root / "Music", root / "Rec/linked"); // a link to a folder is one
    ::chmod((root / "locked").c_str(), 0);

    CFolderTree tree;
    const QString top = QString::fromStdString(root.string());
    tree.start({{top, CFolderTree::kFixed}}, top + "/Rec/TV");
    ASSERT_TRUE(listingsDone(tree));
    QTreeWidgetItem* rootItem = tree.topLevelItem(0);
    ASSERT_NE(rootItem, nullptr);
    EXPECT_EQ(childTexts(rootItem), QStringList({"locked", "Music", "Rec"}));
    QTreeWidgetItem* rec = tree.child(rootItem, "Rec");
    EXPECT_EQ(childTexts(rec), QStringList({"linked", "Radio", "TV"}));
    QTreeWidgetItem* tv = tree.child(rec, "TV");
    EXPECT_EQ(tree.currentItem(), tv);
    EXPECT_TRUE(rec->isExpanded());
    EXPECT_EQ(tree.selectedPath(), top + "/Rec/TV/");
    // TV has a subfolder, so it shows its expand button before it is opened; Radio has none.
    EXPECT_EQ(tv->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(tree.child(rec, "Radio")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    // Listing again adds nothing.
    tree.list(rec);
    tree.list(rec);
    ASSERT_TRUE(listingsDone(tree));
    EXPECT_EQ(rec->childCount(), 3);

    // A folder that cannot be listed is shown and simply stays empty (root reads it anyway),
    // as does one that went away after it was shown.
    QTreeWidgetItem* locked = tree.child(rootItem, "locked");
    ASSERT_NE(locked, nullptr);
    if (::geteuid() != 0) {
        EXPECT_EQ(locked->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    }
    fs::remove_all(root / "Rec/Radio");
    QTreeWidgetItem* radio = tree.child(rec, "Radio");
    tree.list(radio);
    ASSERT_TRUE(listingsDone(tree));
    EXPECT_EQ(radio->childCount(), 0);

    // An initial folder that does not exist is added all the same.
    CFolderTree fresh;
    fresh.start({{top, CFolderTree::kFixed}}, top + "/New/Place");
    ASSERT_TRUE(listingsDone(fresh));
    EXPECT_EQ(fresh.selectedPath(), top + "/New/Place/");
    ::chmod((root / "locked").c_str(), 0755);
}

TEST(FolderTree, TheMachineRootsAreHomeSlashAndTheVolumes) {
    const std::vector<CFolderTree::Root> roots = CFolderTree::machineRoots();
    ASSERT_GE(roots.size(), 2u);
    EXPECT_EQ(roots[0].path, QDir::homePath());
    EXPECT_EQ(roots[1].path, "/");
    for (const CFolderTree::Root& r : roots) {
        EXPECT_FALSE(r.path.startsWith("/proc")) << r.path.toStdString();
        EXPECT_EQ(std::count_if(roots.begin(), roots.end(),
                                [&](const CFolderTree::Root& o) { return o.path == r.path; }),
                  1);
    }
}
