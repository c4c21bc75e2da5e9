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
    // The picture dialog yields the files queued, then nothing (cancelled).
    QString openPicture() override
    {
        if (pictures.empty())
            return QString();
        const QString chosen = pictures.front();
        pictures.pop_front();
        return chosen;
    }

    // The folder dialog yields the folders queued, then nothing (cancelled).
    QString chooseFolder(const QString& title) override
    {
        shown.append(QStringLiteral("folder: ") + title);
        if (folders.empty())
            return QString();
        const QString chosen = folders.front();
        folders.pop_front();
        return chosen;
    }

    // The backup's save dialog yields the names queued, then nothing; what it offered is kept.
    QString saveBackup(const QString& suggested) override
    {
        suggestedBackups.append(suggested);
        if (backupTargets.empty())
            return QString();
        const QString chosen = backupTargets.front();
        backupTargets.pop_front();
        return chosen;
    }

    // Everything shown, in order, as "info: ...", "yesno: ...", "failure[caption]: ...".
    QStringList shown;
    QStringList infos;
    QStringList questions;
    QStringList failures;
    QStringList failureCaptions;
    std::deque<bool> answers;
    std::deque<QString> pictures;
    std::deque<QString> folders;
    QStringList suggestedBackups;
    std::deque<QString> backupTargets;
};

} // namespace qb::test
