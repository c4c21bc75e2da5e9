#include "util/FailureReport.h"

#include "util/vornDialogs.h"

#include <utility>

namespace qb {

FailureReport::FailureReport(Dialogs& dialogs, QString caption)
    : m_dialogs(dialogs), m_caption(std::move(caption))
{
}

void FailureReport::guard(const std::function<void()>& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        report(std::current_exception());
    }
}

void FailureReport::report(std::exception_ptr failure) noexcept
{
    try {
        m_dialogs.failure(textOf(failure), m_caption);
    } catch (...) {
        // A report that cannot be shown must not take the program down with it.
    }
}

namespace {
// Walks a chain of std::nested_exception and keeps the innermost non-empty text.
QString innermostMessage(std::exception_ptr failure)
{
    QString found;
    while (failure) {
        std::exception_ptr inner;
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            const QString text = QString::fromUtf8(e.what());
            if (!text.isEmpty())
                found = text;
            if (auto nested = dynamic_cast<const std::nested_exception*>(&e))
                inner = nested->nested_ptr();
        } catch (...) {
            if (found.isEmpty())
                found = QStringLiteral("Unknown failure");
        }
        failure = inner;
    }
    return found;
}
} // namespace

QString FailureReport::textOf(std::exception_ptr failure)
{
    return withFullStop(innermostMessage(failure));
}

// Messages of the engine and the platform get a full stop when they end in a
// character after "." in code order; our own Chinese messages end in a
// full-width sentence end already and get none.
QString FailureReport::withFullStop(const QString& message)
{
    if (message.isEmpty())
        return message;
    const QChar last = message.back();
    if (last == u'。' || last == u'！' || last == u'？')
        return message;
    if (last.unicode() > u'.')
        return message + u'.';
    return message;
}

} // namespace qb
