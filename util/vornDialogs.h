#pragma once

#include <QString>

namespace qb {

// The message boxes of the program. Windows and pages talk to this interface
// only, so that tests can answer the boxes and read what they said.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Info box: caption "提示", information icon, one OK button.
    virtual void info(const QString& text) = 0;
    // Yes/no box: caption "提示", question icon; true exactly when Yes was chosen.
    virtual bool yesNo(const QString& question) = 0;
    // The failure report: error icon, one OK button, the given caption.
    virtual void failure(const QString& text, const QString& caption) = 0;
    // The picture dialog: one existing file, the picture types offered with
    // "All" chosen. Yields the chosen file, or an empty text when the user
    // cancelled.
    virtual QString openPicture() = 0;
    // A folder to write into, asked with `title`. Yields the chosen folder,
    // or an empty text when the user cancelled.
    virtual QString chooseFolder(const QString& title) = 0;
    // The save dialog of a backup, offering `suggested` (a folder and a file
    // name). Yields the chosen file, or an empty text when the user cancelled
    // (as a service without such a dialog does).
    virtual QString saveBackup([[maybe_unused]] const QString& suggested) { return QString(); }
};

// The real boxes are MessageBoxDialogs (util/MessageBoxDialogs.h), in the
// widget library.

} // namespace qb
