#pragma once

#include "util/vornDialogs.h"

#include <QStringList>
#include <deque>

namespace qb::test {

// Message boxes for tests: every text is recorded, Yes/no questions are
// answered from a queue (Yes when the queue is empty).
class RecordingDialogs : public Dialogs
{
public:
    void info(const QString& text) override
    {
        infos.append(text);
        shown.append(QStringLiteral("info: ") + text);
    }
    bool yesNo(const QString& question) override;
    void failure(const QString& text, const QString& caption) override;

    // Everything shown, in order, as "info: ...", "yesno: ...", "failure[caption]: ...".
    QStringList shown;
    QStringList infos;
    QStringList questions;
    QStringList failures;
    QStringList failureCaptions;
    std::deque<bool> answers;
};

} // namespace qb::test
