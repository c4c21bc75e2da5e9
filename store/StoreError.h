#pragma once

#include <QString>
#include <stdexcept>

namespace qb {

// A failure of the store: an engine message, or one of the record set's own
// ("Cannot perform this operation on a closed dataset"). The text is UTF-8 in
// what(); message() gives it back as a QString. A failure of the engine also
// carries the engine's primary result code (SQLITE_BUSY, SQLITE_NOTADB, ...),
// so that a caller can say in its own words what went wrong; 0 for the
// record set's own failures.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message, int engineCode = 0)
        : std::runtime_error(message.toStdString()), m_engineCode(engineCode & 0xFF)
    {
    }
    QString message() const { return QString::fromUtf8(what()); }
    int engineCode() const { return m_engineCode; }

private:
    int m_engineCode;
};

} // namespace qb
