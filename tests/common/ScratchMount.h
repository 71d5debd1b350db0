#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A small tmpfs mounted over a temporary folder of its own for the life of
// the object, for cases about a full or read-only disk. Mounting needs root;
// elsewhere mounted() is false and whyNot() tells why, for a GTEST_SKIP.
class ScratchMount
{
public:
    explicit ScratchMount(qint64 bytes, bool readOnly = false);
    ~ScratchMount();
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_why; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

} // namespace testsupport
