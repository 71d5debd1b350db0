#pragma once

#include <QIODevice>
#include <QString>

#include <sys/types.h>

namespace platform::office {

// A file written through a write(2) loop that checks every call: short
// writes are continued, the first failure is kept (error() is its errno)
// and every later write is refused, so a writer on top of it stops at once.
//
// A target file (openTarget) only appears at its path when commit() has
// written, synced, closed and renamed it; until then it has no name or a
// hidden one, and it is gone when the object is destroyed uncommitted. A
// scratch file (openScratch) never has a name in the file system.
class OutputFile : public QIODevice
{
public:
    OutputFile();
    ~OutputFile() override;

    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // False, with error() set, when no file can be made for path.
    bool openTarget(const QString &path);
    bool openScratch(const QString &folder);

    // Appends the whole content of a scratch file, in bounded chunks, and
    // gives the scratch file's disk space back as it goes: the copy needs
    // little more room than the finished file, and a scratch file can be
    // appended once.
    bool appendFrom(OutputFile &scratch);
    // Puts a target in place; false, with nothing at the path changed, when
    // any write, the sync, the close or the rename failed.
    bool commit();

    int error() const { return m_errno; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool createUnnamed(const QString &folder, int flags, int mode);
    bool createHidden(const QString &folder, int mode);
    bool flushBuffer();
    bool copyInKernel(OutputFile &scratch, off_t &offset);
    bool writeAll(const char *data, qint64 size);
    bool fail(int errnum);
    void discard();

    int m_fd = -1;
    int m_errno = 0;
    bool m_unnamed = false; // made with O_TMPFILE: linked under m_hidden on commit
    QByteArray m_target;
    QByteArray m_hidden; // the name it has before the rename, if any
    QByteArray m_buffer;
};

} // namespace platform::office
