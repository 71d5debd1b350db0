#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace platform {
struct DirectoryEntries;
}

// Walks a directory tree depth first, the files of a directory before its
// subdirectories, on the paths it is given: it never changes the process's
// current directory, so a relative root stays relative to where the program
// runs and nothing else in the process is steered by the walk.
//
// Every directory is read once. The masks, read afresh for each directory,
// are applied to that one listing in their list order, so a file that
// matches two masks is found twice. Hidden directories are not walked; a
// directory reached again through a link is not walked again.
class DirectoryWalker
{
public:
    // What the walk finds, and what it asks of its caller while it goes on.
    class Visitor
    {
    public:
        virtual ~Visitor() = default;
        virtual bool stopRequested() const = 0;
        // The text of the mask list, read when a directory's files are next.
        virtual QString masks() const = 0;
        virtual void showStatus(const QString &text) = 0;
        // Lets the message loop run.
        virtual void yield() = 0;
        // `relativeDirectory`: where the file's directory lies below the
        // root, '/'-separated, named as walked ("" at the root).
        virtual void foundFile(const QString &path, const QString &relativeDirectory) = 0;
        // A directory that cannot be entered or listed, a name that cannot be
        // used; rawPath holds the bytes of a path whose name does not decode.
        virtual void foundProblem(const QString &path, const QString &reason, const QByteArray &rawPath = {}) = 0;
    };

    explicit DirectoryWalker(Visitor &visitor) : m_visitor(visitor) {}

    void walk(const QString &root);

    // The pieces of `text` between the occurrences of `separator`; empty
    // pieces stay, an empty text gives none.
    static QStringList SplitString(const QString &text, const QString &separator);

private:
    void WalkDirectory(const QString &dir, const QString &relative);
    void ConvertFilesInDirectory(const QString &dir, const QString &relative, const platform::DirectoryEntries &entries);
    void reportUnnamed(const QString &dir, const QList<QByteArray> &rawNames, const QString &what);

    Visitor &m_visitor;
    QSet<QString> m_walked; // canonical paths of the directories walked
};
