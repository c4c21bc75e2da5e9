#pragma once

#include <QString>
#include <exception>
#include <functional>

namespace qb {

class Dialogs;

// The one place where a failure that leaves an event handler is caught and
// shown: the failure's message in an error box captioned with the
// application title. The handler is abandoned; the program goes on.
class FailureReport
{
public:
    FailureReport(Dialogs& dialogs, QString caption);

    // Runs a handler; a failure that escapes it is reported, never rethrown.
    void guard(const std::function<void()>& handler) noexcept;

    // Reports the exception in flight (call from a catch block) or a given one.
    void report(std::exception_ptr failure) noexcept;

    const QString& caption() const { return m_caption; }

    // The text the report shows for a failure: the innermost non-empty
    // message of a nested failure, with "." appended when its last character
    // comes after "." in code order and is no full-width sentence end
    // ("。", "！", "？").
    static QString textOf(std::exception_ptr failure);
    static QString withFullStop(const QString& message);

private:
    Dialogs& m_dialogs;
    QString m_caption;
};

} // namespace qb
