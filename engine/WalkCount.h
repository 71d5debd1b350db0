#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

QT_FORWARD_DECLARE_CLASS(QObject)
QT_FORWARD_DECLARE_CLASS(QThread)

// Counts the entries a walk will give (the files the masks take, the
// directories and names it cannot use) on a thread of its own. A run's own
// walk keeps pace with its conversions and ends only near the run's end;
// this count ends long before, so that the run can tell how much remains.
class WalkCount
{
public:
    struct Walk
    {
        QString root;
        QString masks;
        QString outputDirectory;                         // left out of the walk with all it holds
        std::function<bool(const QString &path)> filter; // entries counted; none: all
    };

    // `counted` gets the number on the thread that calls start().
    WalkCount(Walk walk, std::function<void(int entries)> counted);
    ~WalkCount(); // ends the count unfinished and waits for it

    WalkCount(const WalkCount &) = delete;
    WalkCount &operator=(const WalkCount &) = delete;

    void start();

    // The count itself, on the calling thread; `cancelled` ends it early.
    static int count(const Walk &walk, const std::atomic_bool &cancelled);

private:
    Walk m_walk;
    std::function<void(int)> m_counted;
    std::unique_ptr<QObject> m_receiver; // on the starting thread
    std::unique_ptr<QThread> m_thread;
    std::atomic_bool m_cancelled{false};
};
