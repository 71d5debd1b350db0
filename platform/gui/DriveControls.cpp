#include "platform/gui/DriveControls.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QStorageInfo>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

QString volumeRootOf(const QString &path)
{
    return QStorageInfo(path).rootPath();
}

// Keeps every row of the tree at the stored item height.
class FixedHeightDelegate : public QStyledItemDelegate
{
public:
    FixedHeightDelegate(int *height, QObject *parent) : QStyledItemDelegate(parent), m_height(height) {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(*m_height);
        return size;
    }

private:
    const int *m_height;
};

} // namespace

// ---------------------------------------------------------------------------

TDriveComboBox::TDriveComboBox(QWidget *parent) : QComboBox(parent)
{
    refreshVolumes();
    setDrive(QDir::currentPath());
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit OnChange(this); });
}

void TDriveComboBox::refreshVolumes()
{
    const QSignalBlocker blocker(this);
    const QString selected = drive();
    clear();
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(),
              [](const QStorageInfo &a, const QStorageInfo &b) { return a.rootPath() < b.rootPath(); });
    for (const QStorageInfo &volume : volumes) {
        if (!volume.isValid() || !volume.isReady() || volume.bytesTotal() <= 0)
            continue;
        const QString root = volume.rootPath();
        const QString name = volume.displayName() != root ? volume.displayName() : QString();
        addItem(name.isEmpty() ? root : QStringLiteral("%1 [%2]").arg(root, name), root);
    }
    if (!selected.isEmpty())
        setDrive(selected);
}

QString TDriveComboBox::drive() const
{
    return currentData().toString();
}

void TDriveComboBox::setDrive(const QString &path)
{
    const QString root = volumeRootOf(path);
    int index = findData(root);
    if (index < 0 && !root.isEmpty()) {
        addItem(root, root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

// ---------------------------------------------------------------------------

TDirectoryListBox::TDirectoryListBox(QWidget *parent) : QTreeView(parent), m_model(new QFileSystemModel(this))
{
    m_model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    m_model->setRootPath(QString());
    setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    // By name, like any directory list; the model otherwise keeps the order
    // in which it happened to read the entries.
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    setItemDelegate(new FixedHeightDelegate(&m_itemHeight, this));
    setUniformRowHeights(true);
    setAnimated(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &index) {
        const QString path = QDir::toNativeSeparators(m_model->filePath(index));
        if (index.isValid() && path != m_directory) {
            m_directory = path;
            emit OnChange(this);
        }
    });
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &TDirectoryListBox::queueScrollToSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TDirectoryListBox::queueScrollToSelection);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TDirectoryListBox::queueScrollToSelection);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { m_followSelection = false; });
    setDrive(volumeRootOf(QDir::currentPath()));
    setDirectory(QDir::currentPath());
}

void TDirectoryListBox::setDirectory(const QString &path)
{
    const QString absolute = QDir::toNativeSeparators(QDir(path).absolutePath());
    if (!QDir(absolute).exists())
        return;
    if (volumeRootOf(absolute) != m_drive)
        setDrive(volumeRootOf(absolute));
    m_directory = absolute;
    selectIndex(m_model->index(absolute));
    emit OnChange(this);
}

void TDirectoryListBox::setDrive(const QString &root)
{
    if (root.isEmpty())
        return;
    m_drive = root;
    setRootIndex(m_model->index(root).parent());
    // The volume's root is the one top-level row of the tree.
    const QModelIndex rootIndex = m_model->index(root);
    if (volumeRootOf(m_directory) != root)
        setDirectory(root);
    expand(rootIndex);
}

void TDirectoryListBox::setItemHeight(int height)
{
    m_itemHeight = height;
    doItemsLayout();
}

void TDirectoryListBox::selectIndex(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    expand(index);
    {
        const QSignalBlocker blocker(selectionModel());
        setCurrentIndex(index);
    }
    m_followSelection = true;
    keepSelectionInView();
}

void TDirectoryListBox::queueScrollToSelection()
{
    if (!m_followSelection || m_scrollQueued)
        return;
    // Sorting follows the rows' arrival: scroll once the model has settled.
    m_scrollQueued = true;
    QTimer::singleShot(0, this, &TDirectoryListBox::keepSelectionInView);
}

void TDirectoryListBox::keepSelectionInView()
{
    m_scrollQueued = false;
    const QModelIndex index = currentIndex();
    if (!m_followSelection || !index.isValid())
        return;
    // Centred, so that the expanded directory's first subdirectories show too.
    const QRect row = visualRect(index);
    if (!row.isValid() || !viewport()->rect().contains(row))
        scrollTo(index, PositionAtCenter);
}

void TDirectoryListBox::mousePressEvent(QMouseEvent *event)
{
    m_followSelection = false;
    QTreeView::mousePressEvent(event);
}

void TDirectoryListBox::keyPressEvent(QKeyEvent *event)
{
    m_followSelection = false;
    QTreeView::keyPressEvent(event);
}

void TDirectoryListBox::wheelEvent(QWheelEvent *event)
{
    m_followSelection = false;
    QTreeView::wheelEvent(event);
}
