#include "app/BackupAction.h"

#include "app/core/StoreBackup.h"
#include "store/Connection.h"
#include "util/vornDialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <memory>
#include <utility>

namespace qb {

QString suggestedBackupPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // A fresh account need not have its documents folder yet.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder + QStringLiteral("/票据备份 %1.zip").arg(QDate::currentDate().toString(Qt::ISODate));
}

QString runBackup(QWidget& window, Connection& connection, const QString& programFolder,
                  const QString& target, Dialogs& dialogs)
{
    QString message;
    try {
        StoreBackup backup(programFolder, target);
        StoreBackup::Progress& progress = backup.progress();
        QProgressDialog dialog(QStringLiteral("正在备份全部票据…"), QStringLiteral("取消"), 0, 1000, &window);
        dialog.setObjectName(QStringLiteral("BackupProgress"));
        dialog.setWindowTitle(QStringLiteral("备份全部票据"));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setMinimumDuration(1000);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        QObject::connect(&dialog, &QProgressDialog::canceled, [&progress] { progress.cancel = true; });
        const auto update = [&] { dialog.setValue(progress.permille()); };

        // The snapshot goes through the program's own connection, which
        // lives on this thread; the window moves between its steps.
        backup.takeSnapshot(connection.handle(), [&] {
            update();
            QCoreApplication::processEvents();
        });

        // The archive is written and checked on a thread of its own.
        std::exception_ptr failure;
        QEventLoop loop;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            try {
                backup.writeArchive();
            } catch (...) {
                failure = std::current_exception();
            }
        }));
        QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, update);
        ticks.start(50);
        worker->start();
        loop.exec();
        worker->wait();
        dialog.reset();
        if (failure)
            std::rethrow_exception(failure);
        message =
            QStringLiteral("备份完成：%1 张票据、%2 个类别、%3 个图片文件，已写入“%4”。")
                .arg(QString::number(backup.counts().receipts), QString::number(backup.counts().categories),
                     QString::number(backup.pictureCount()), QDir::toNativeSeparators(target));
    } catch (const BackupError& error) {
        message = error.message();
    } catch (const std::exception&) {
        message = QStringLiteral("票据库无法读取，备份没有写成。");
    }
    dialogs.info(message);
    return message;
}

void attachBackupAction(QWidget& window, Connection& connection, const QString& programFolder,
                        Dialogs& dialogs)
{
    auto* action = new QAction(QStringLiteral("备份全部票据…"), &window);
    action->setObjectName(QStringLiteral("BackupAction"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setShortcutVisibleInContextMenu(true);
    // The window takes keys until the progress dialog shows: one backup at a time.
    auto running = std::make_shared<bool>(false);
    QObject::connect(action, &QAction::triggered, &window,
                     [&window, &connection, programFolder, &dialogs, running] {
                         if (std::exchange(*running, true))
                             return;
                         const QString target = dialogs.saveBackup(suggestedBackupPath());
                         if (!target.isEmpty())
                             runBackup(window, connection, programFolder, target, dialogs);
                         *running = false;
                     });
    window.addAction(action);
    if (auto* band = window.findChild<QWidget*>(QStringLiteral("CoolBar1"))) {
        band->setContextMenuPolicy(Qt::ActionsContextMenu);
        band->addAction(action);
    }
}

} // namespace qb
