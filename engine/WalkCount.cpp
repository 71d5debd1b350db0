#include "engine/WalkCount.h"

#include "engine/DirectoryWalker.h"
#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QObject>
#include <QThread>

namespace {

// The entries the run's walk reports, without converting: the same masks,
// the same directory left out and the same marked outputs passed over.
class Counter : public DirectoryWalker::Visitor
{
public:
    Counter(const WalkCount::Walk &walk, const std::atomic_bool &cancelled)
        : m_walk(walk), m_cancelled(cancelled), m_output(QFileInfo(walk.outputDirectory).canonicalFilePath())
    {
        // Outputs lie in walked directories only where the source is the
        // output directory or lies below it.
        const QString root = QFileInfo(walk.root).canonicalFilePath();
        m_outputsWalked =
            !m_output.isEmpty()
            && (root == m_output
                || root.startsWith(m_output.endsWith(QLatin1Char('/')) ? m_output : m_output + QLatin1Char('/')));
    }

    int entries = 0;

    bool stopRequested() const override { return m_cancelled; }
    QString masks() const override { return m_walk.masks; }
    void showStatus(const QString &) override {}
    void yield() override {}
    void foundFile(const QString &path, const QString &) override { take(path); }
    void foundProblem(const QString &path, const QString &, const QByteArray &) override { take(path); }
    bool isLeftOut(const QString &canonicalDirectory) const override { return canonicalDirectory == m_output; }
    bool isOutput(const QString &path) const override { return m_outputsWalked && platform::isMarkedOutput(path); }

private:
    void take(const QString &path)
    {
        if (!m_walk.filter || m_walk.filter(path))
            ++entries;
    }

    const WalkCount::Walk &m_walk;
    const std::atomic_bool &m_cancelled;
    QString m_output;
    bool m_outputsWalked = false;
};

} // namespace

WalkCount::WalkCount(Walk walk, std::function<void(int)> counted)
    : m_walk(std::move(walk)), m_counted(std::move(counted)), m_receiver(std::make_unique<QObject>())
{}

WalkCount::~WalkCount()
{
    m_cancelled = true;
    if (m_thread)
        m_thread->wait();
}

void WalkCount::start()
{
    m_thread.reset(QThread::create([this] {
        const int entries = count(m_walk, m_cancelled);
        if (m_cancelled)
            return;
        // Handed over on the starting thread; dropped with the receiver
        // should the count be destroyed first.
        QMetaObject::invokeMethod(
            m_receiver.get(), [this, entries] { m_counted(entries); }, Qt::QueuedConnection);
    }));
    m_thread->start(QThread::LowPriority);
}

int WalkCount::count(const Walk &walk, const std::atomic_bool &cancelled)
{
    Counter counter(walk, cancelled);
    DirectoryWalker(counter).walk(walk.root);
    return counter.entries;
}
