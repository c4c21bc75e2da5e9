#pragma once

#include <QString>

class QWidget;

namespace qb {

class Connection;
class Dialogs;

// "备份全部票据…": Ctrl+B on `window`, and the context menu of its tool band
// CoolBar1, which names the key. It asks for a file through `dialogs`, backs
// the store (through `connection`, which stays on this thread) and the
// picture folder of `programFolder` up into it, and says how it went.
void attachBackupAction(QWidget& window, Connection& connection, const QString& programFolder,
                        Dialogs& dialogs);

// The name the save dialog offers: "票据备份 <date>.zip" in the documents folder.
QString suggestedBackupPath();

// One backup into `target`, with a progress dialog over `window` once it takes
// more than a second. Returns the message it showed.
QString runBackup(QWidget& window, Connection& connection, const QString& programFolder,
                  const QString& target, Dialogs& dialogs);

} // namespace qb
