#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// A private hidden folder inside an output directory, where outputs are
// written before they are moved into place. Being on the output directory's
// own file system, the move is one rename(2): a reader of the output
// directory sees either the old file or the complete new one, never a part.
// Whatever a writer leaves beside its target (lock files, temporary
// folders) lands in here and goes with the folder.
class OutputStaging
{
public:
    // Makes ".tabulon-tmp-<pid>-XXXXXX" (mode 0700) in outputDirectory.
    explicit OutputStaging(const QString &outputDirectory);
    ~OutputStaging(); // removes the folder with everything in it

    OutputStaging(const OutputStaging &) = delete;
    OutputStaging &operator=(const OutputStaging &) = delete;

    // 0 when the folder exists, otherwise the errno of its creation.
    int error() const { return m_error; }
    QString outputDirectory() const { return m_outputDirectory; }
    QString path() const { return m_path; }

    // Where the file that becomes outputDirectory/name is written first; one
    // output at a time is staged.
    QString stagedPath(const QString &name) const;

    // Renames the staged file to outputDirectory/name. An existing link at
    // the target is replaced, not written through. A web page (.htm, .html)
    // takes the pictures written beside it along, into the folder
    // outputDirectory/BASE_files/ (BASE: name without its suffix), and its
    // references are made to point there; the folder of an earlier page of
    // that name goes, so that no picture of it stays. On failure nothing of
    // the new output is in place and the earlier one is as it was.
    // Returns 0 or the errno of the step that failed; *placed (when given)
    // gets the paths now in place, the page first. The output's mark names
    // `writtenFor` (see markAsOutput()).
    int commit(const QString &name, QStringList *placed = nullptr, const QString &writtenFor = QString());

    // The folder a page's pictures go into: "BASE_files" for "BASE.htm".
    static QString picturesFolderName(const QString &pageName);

    // Removes everything inside the folder.
    void clear();

    // Notes in this folder that this process stages in `dir` too (a mirrored
    // directory below the output directory): should the process die, the
    // next removeStale() of the output directory clears `dir` as well.
    // Returns 0 or the errno of the note.
    int noteStagingDirectory(const QString &dir);

    // Removes the folders of this kind in outputDirectory whose process is
    // gone, and those in the directories they noted.
    static void removeStale(const QString &outputDirectory);

    static QString folderPrefix();

private:
    int commitPage(const QString &name, QStringList *placed, const QString &writtenFor);

    QString m_outputDirectory;
    QString m_path;
    int m_error = 0;
};

} // namespace platform
