#pragma once

#include <QString>

#include <stdexcept>

namespace platform {

// An error whose message is shown to a user as it stands (a log line, a
// message box), kept as a QString so that non-ASCII names survive the trip
// through std::runtime_error's narrow what().
class TextError : public std::runtime_error
{
public:
    explicit TextError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace platform
