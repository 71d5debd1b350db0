#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace platform::office {

// A numbered office profile kept in the user's cache directory
// (<root>/<number>/profile) and reused by later runs, so that an office
// starts on a profile it has made before. A slot is held through an
// exclusive lock on <root>/<number>/lock for as long as the object lives:
// two offices, of one program or of two, never share a profile. The lock
// goes with the process, so a crashed run leaves no slot taken.
//
// Several offices at once take one slot each (take() with increasing
// numbers, or takeFree() repeatedly).
class ProfileSlot
{
public:
    ~ProfileSlot(); // releases the lock; the profile stays for the next run

    ProfileSlot(const ProfileSlot &) = delete;
    ProfileSlot &operator=(const ProfileSlot &) = delete;

    // Takes the lowest-numbered free slot; throws OfficeFailure when the
    // cache directory cannot be used.
    static std::unique_ptr<ProfileSlot> takeFree(const QString &root = defaultRoot());
    // Takes this slot when it is free; null when another office holds it.
    static std::unique_ptr<ProfileSlot> take(int number, const QString &root = defaultRoot());

    // $XDG_CACHE_HOME/tabulon/profiles, or ~/.cache/tabulon/profiles.
    static QString defaultRoot();

    int number() const { return m_number; }
    QString profilePath() const;
    // The profile as the office's UserInstallation wants it (a file URL).
    QByteArray installationUrl() const;

    // True when the profile was made by an earlier office (the office will
    // not need its first-start restart).
    bool wasUsedBefore() const { return m_usedBefore; }

    // Throws the profile away and makes an empty one, once per slot object;
    // false when that was done already (a second failure is not the
    // profile's fault) or the old one cannot be removed.
    bool renew();

private:
    ProfileSlot(int number, QString directory, int lockFd);
    void prepareProfile();

    int m_number;
    QString m_directory;
    int m_lockFd;
    bool m_usedBefore = false;
    bool m_renewed = false;
};

// Whether an existing profile can be reused: its folders are folders and its
// settings file, when there, is well-formed. A missing profile is not damaged.
bool isProfileDamaged(const QString &profilePath);

} // namespace platform::office
