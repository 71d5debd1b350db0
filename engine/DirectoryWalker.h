#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

// Walks a directory tree depth first, the files of a directory before its
// subdirectories, on the paths it is given: it never changes the process's
// current directory, so a relative root stays relative to where the program
// runs and nothing else in the process is steered by the walk.
//
// Every directory is read once. The masks, read afresh for each directory,
// are applied to that one listing in their list order; a file goes to the
// first mask it matches, so it is found once whatever the masks. Before the
// first file of a directory is handed over, all of them are (foundInputs):
// none may be written over. Hidden directories are not walked, nor the
// output directory below the root; a directory reached again through a link
// is not walked again.
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
        // The files of one directory that the masks take, before any is found.
        virtual void foundInputs(const QStringList &paths) { Q_UNUSED(paths); }
        // A directory below the root that is left out with all it holds (the
        // output directory), by canonical path.
        virtual bool isLeftOut(const QString &canonicalDirectory) const
        {
            Q_UNUSED(canonicalDirectory);
            return false;
        }
        // A file that is no input though a mask matches it (an output).
        virtual bool isOutput(const QString &path) const
        {
            Q_UNUSED(path);
            return false;
        }
    };

    explicit DirectoryWalker(Visitor &visitor) : m_visitor(visitor) {}

    void walk(const QString &root);

    // The pieces of `text` between the occurrences of `separator`; empty
    // pieces stay, an empty text gives none.
    static QStringList SplitString(const QString &text, const QString &separator);

    // The entries of one listing that each mask takes, in mask order, as
    // indexes into names: an entry goes to the first mask it matches and to
    // no later one. Blanks around a mask are not part of it.
    static QList<QList<qsizetype>> filesByMask(const QStringList &names, const QStringList &masks);

private:
    void WalkDirectory(const QString &dir, const QString &relative);
    void ConvertFilesInDirectory(const QString &dir, const QString &relative,
                                 const platform::DirectoryEntries &entries);
    void reportUnnamed(const QString &dir, const QList<QByteArray> &rawNames, const QString &what);

    Visitor &m_visitor;
    QSet<platform::FileId> m_walked; // the directories walked, by identity: small however deep the tree
};
