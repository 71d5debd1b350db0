#pragma once

#include <QComboBox>
#include <QTreeView>

class QFileSystemModel;

// Lists the mounted volumes that are ready and hold a real file system; the
// selected one is `Drive` (its root path).
class TDriveComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString Drive READ drive WRITE setDrive NOTIFY OnChange)

public:
    explicit TDriveComboBox(QWidget *parent = nullptr);

    QString drive() const;
    // Selects the volume whose root is `root`, or the volume holding that path.
    void setDrive(const QString &path);
    void refreshVolumes();

signals:
    void OnChange(QObject *Sender);
};

// A tree of directories (no files). `Directory` is the selected directory,
// the root of a conversion run; `Drive` is the volume the tree shows.
class TDirectoryListBox : public QTreeView
{
    Q_OBJECT
    Q_PROPERTY(QString Directory READ directory WRITE setDirectory NOTIFY OnChange)
    Q_PROPERTY(QString Drive READ drive WRITE setDrive)
    Q_PROPERTY(int ItemHeight READ itemHeight WRITE setItemHeight)

public:
    explicit TDirectoryListBox(QWidget *parent = nullptr);

    QString directory() const { return m_directory; }
    void setDirectory(const QString &path);
    QString drive() const { return m_drive; }
    // Shows the volume with that root; the directory becomes the volume's root
    // unless the current directory lies on it.
    void setDrive(const QString &root);
    int itemHeight() const { return m_itemHeight; }
    void setItemHeight(int height);

signals:
    void OnChange(QObject *Sender);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void selectIndex(const QModelIndex &index);
    void keepSelectionInView();
    void queueScrollToSelection();

    QFileSystemModel *m_model;
    // The model fills its rows in the background; until the user takes over,
    // rows arriving above the selection must not push it out of view.
    bool m_followSelection = false;
    bool m_scrollQueued = false;
    QString m_directory;
    QString m_drive;
    int m_itemHeight = 16;
};
