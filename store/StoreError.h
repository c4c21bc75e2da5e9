#pragma once

#include <QString>
#include <stdexcept>

namespace qb {

// A failure of the store: an engine message, or one of the record set's own
// ("Cannot perform this operation on a closed dataset"). The text is UTF-8 in
// what(); message() gives it back as a QString.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

} // namespace qb
