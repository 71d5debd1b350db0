#pragma once

#include <QTimer>

#include <memory>

namespace platform::office {

// Holds one started office between the runs of a program that converts
// again and again (the window), so that the next run need not wait for a
// start. What it holds it owns: the office ends when it is let go of,
// when it has been idle for the limit, or at end(). An office that died
// while it was held is not handed out.
//
// Used from the thread that created it (the idle timer lives there).
class ReadyOffice
{
public:
    // What can be held: anything that knows whether it can still convert.
    class Office
    {
    public:
        virtual ~Office() = default;
        // False once the office has died or failed to start.
        virtual bool isUsable() = 0;
    };

    explicit ReadyOffice(int idleLimitMs);
    ~ReadyOffice();

    ReadyOffice(const ReadyOffice &) = delete;
    ReadyOffice &operator=(const ReadyOffice &) = delete;

    // Holds office (ending the one held before) and starts its idle time.
    void keep(std::shared_ptr<Office> office);
    // The office held, when it is still usable, and null otherwise; either
    // way nothing is held afterwards.
    std::shared_ptr<Office> take();
    // Ends the office held, at once.
    void end();

    bool isHolding() const { return bool(m_office); }
    int idleLimitMs() const { return m_idleLimitMs; }

private:
    std::shared_ptr<Office> m_office;
    QTimer m_idle;
    int m_idleLimitMs;
};

} // namespace platform::office
