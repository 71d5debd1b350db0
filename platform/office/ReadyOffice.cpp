#include "platform/office/ReadyOffice.h"

namespace platform::office {

ReadyOffice::ReadyOffice(int idleLimitMs) : m_idleLimitMs(idleLimitMs)
{
    m_idle.setSingleShot(true);
    QObject::connect(&m_idle, &QTimer::timeout, [this] { end(); });
}

ReadyOffice::~ReadyOffice()
{
    end();
}

void ReadyOffice::keep(std::shared_ptr<Office> office)
{
    end();
    m_office = std::move(office);
    if (m_office)
        m_idle.start(m_idleLimitMs);
}

std::shared_ptr<ReadyOffice::Office> ReadyOffice::take()
{
    m_idle.stop();
    std::shared_ptr<Office> office = std::move(m_office);
    m_office.reset();
    if (office && !office->isUsable())
        office.reset(); // a dead one goes here, not in the caller's hands
    return office;
}

void ReadyOffice::end()
{
    m_idle.stop();
    // Moved out first: ending an office may handle events that look here.
    std::shared_ptr<Office> office = std::move(m_office);
    m_office.reset();
}

} // namespace platform::office
