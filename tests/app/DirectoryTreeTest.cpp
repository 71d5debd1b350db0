#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "common/TestSupport.h"
#include "platform/gui/DriveControls.h"

#include <QCoreApplication>
#include <QFileSystemModel>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::ScopedCurrentDirectory;
using testsupport::ScopedEnvironment;
using testsupport::waitFor;

namespace {

struct Window
{
    Window() : form(std::make_unique<TFMain>(std::make_unique<FakeConverter>()))
    {
        form->show();
        tree = form->findChild<TDirectoryListBox *>("DirectoryListBox1");
        model = qobject_cast<QFileSystemModel *>(tree->model());
    }
    bool selectionInView(const QString &path) const
    {
        const QModelIndex index = model->index(path);
        const QRect row = tree->visualRect(index);
        return index.isValid() && tree->currentIndex() == index && row.isValid()
               && tree->viewport()->rect().contains(row);
    }
    std::unique_ptr<TFMain> form;
    TDirectoryListBox *tree = nullptr;
    QFileSystemModel *model = nullptr;
};

// A directory with many siblings sorting before it, so that it lies far
// below the first screenful of the tree once they have all been read.
struct CrowdedTree
{
    CrowdedTree()
    {
        for (int i = 0; i < kSiblings; ++i)
            QDir(dir.path()).mkpath(QStringLiteral("d%1/inner").arg(i, 3, 10, QLatin1Char('0')));
        QDir(dir.path()).mkpath("zz-target/child");
        target = dir.filePath("zz-target");
    }
    // True once every sibling has been read and the target sorted after them.
    bool waitUntilSorted(QFileSystemModel *model) const
    {
        return waitFor([&] { return model->index(target).row() == kSiblings; }, 10000);
    }
    static constexpr int kSiblings = 150;
    QTemporaryDir dir;
    QString target;
};

} // namespace

TEST(DirectoryTree, AtStartTheStartDirectoryIsSelectedExpandedAndInView)
{
    QTemporaryDir config;
    ScopedEnvironment env("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    CrowdedTree crowd;
    ScopedCurrentDirectory cwd(crowd.target);

    Window w;
    // The rows arrive in the background; wait until every sibling is there
    // and sorted, so that a selection scrolled into view before they came is
    // caught.
    ASSERT_TRUE(crowd.waitUntilSorted(w.model));
    EXPECT_TRUE(waitFor([&] { return w.selectionInView(crowd.target); })) << "selection out of view";
    EXPECT_EQ(w.tree->directory(), crowd.target);
    EXPECT_TRUE(w.tree->isExpanded(w.model->index(crowd.target)));
    EXPECT_TRUE(w.tree->isExpanded(w.model->index(crowd.dir.path())));
    EXPECT_GT(w.tree->verticalScrollBar()->value(), 0) << "the tree had to scroll to show it";
}

TEST(DirectoryTree, ADirectoryChosenLaterIsBroughtIntoViewTooButTheUserCanScrollAway)
{
    CrowdedTree crowd;
    Window w;
    w.tree->setDirectory(crowd.target);
    ASSERT_TRUE(crowd.waitUntilSorted(w.model));
    EXPECT_TRUE(waitFor([&] { return w.selectionInView(crowd.target); }));

    // Once the user scrolls, arriving rows no longer pull the view back.
    QScrollBar *bar = w.tree->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QDir(crowd.dir.path()).mkpath("a-new");
    // Waited for through rows the model has already: asking it for the new
    // path would make up that row at the end, where no sort moves it.
    const QModelIndex parent = w.model->index(crowd.dir.path());
    ASSERT_TRUE(waitFor([&] { return w.model->index(crowd.target).row() == CrowdedTree::kSiblings + 1; }, 10000));
    EXPECT_EQ(w.model->fileName(w.model->index(0, 0, parent)), "a-new");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(w.tree->directory(), crowd.target) << "scrolling does not change the selection";
}

TEST(DirectoryTree, AfterADriveChangeTheNewSelectionIsInView)
{
    QList<QString> roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && volume.bytesTotal() > 0)
            roots << volume.rootPath();
    }
    CrowdedTree crowd;
    const QString home = QStorageInfo(crowd.dir.path()).rootPath();
    roots.removeAll(home);
    if (roots.isEmpty())
        GTEST_SKIP() << "only one volume is mounted";

    Window w;
    auto *drives = w.form->findChild<TDriveComboBox *>("DriveComboBox1");
    w.tree->setDirectory(crowd.target);
    ASSERT_TRUE(crowd.waitUntilSorted(w.model));
    ASSERT_TRUE(waitFor([&] { return w.selectionInView(crowd.target); }));

    drives->setDrive(roots.first());
    EXPECT_EQ(w.tree->drive(), roots.first());
    EXPECT_TRUE(waitFor([&] { return w.selectionInView(w.tree->directory()); })) << qPrintable(w.tree->directory());

    // Back to the crowded volume: its root row is selected and shown.
    drives->setDrive(home);
    EXPECT_EQ(w.tree->drive(), home);
    EXPECT_TRUE(waitFor([&] { return w.selectionInView(w.tree->directory()); })) << qPrintable(w.tree->directory());
}
