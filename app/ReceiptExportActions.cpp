#include "app/ReceiptExportActions.h"

#include "app/Form_main.h"
#include "app/export/ExportNames.h"
#include "app/export/ReceiptExport.h"
#include "store/FoundReceipts.h"
#include "util/gui/GuardedHandler.h"
#include "util/gui/vornwindows.h"
#include "util/vornDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

namespace qb {

namespace {

class ReceiptExportActions : public QObject
{
public:
    ReceiptExportActions(Form_main& window, Dialogs& dialogs, FailureReport& report)
        : QObject(&window), m_window(window), m_dialogs(dialogs),
          m_list(*window.findChild<QListView*>(QStringLiteral("ListBox1")))
    {
        auto* page = window.findChild<QWidget*>(QStringLiteral("TabSheet3"));
        m_export = new QAction(QStringLiteral("导出查询结果…"), this);
        m_print = new QAction(QStringLiteral("打印查询结果…"), this);
        m_export->setObjectName(QStringLiteral("ExportResults"));
        m_print->setObjectName(QStringLiteral("PrintResults"));
        m_export->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
        m_print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
        for (QAction* action : {m_export, m_print}) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            page->addAction(action);
            m_list.addAction(action);
        }
        m_list.setContextMenuPolicy(Qt::ActionsContextMenu);
        connect(m_export, &QAction::triggered, this,
                guardedHandler(report, [this](bool) { exportResults(); }));
        connect(m_print, &QAction::triggered, this, guardedHandler(report, [this](bool) { printResults(); }));

        QAbstractItemModel* lines = m_list.model();
        // The folder is named after the search that listed the lines, even
        // when the fields were changed since.
        connect(lines, &QAbstractItemModel::modelReset, this, [this, &window] {
            m_category = window.findChild<QComboBox*>(QStringLiteral("ComboBox2"))->currentText();
            m_text = window.findChild<QLineEdit*>(QStringLiteral("Edit4"))->text();
            updateEnabled();
        });
        connect(lines, &QAbstractItemModel::rowsInserted, this, &ReceiptExportActions::updateEnabled);
        connect(lines, &QAbstractItemModel::rowsRemoved, this, &ReceiptExportActions::updateEnabled);
        updateEnabled();
    }

private:
    void updateEnabled()
    {
        const bool any = m_list.model()->rowCount() > 0;
        m_export->setEnabled(any);
        m_print->setEnabled(any);
    }

    ExportSource source() const
    {
        ExportSource source{&m_window.ADOConnection1(), m_window.pictureFolder(), {}};
        const QAbstractItemModel& lines = *m_list.model();
        source.numbers.reserve(lines.rowCount());
        for (int row = 0; row < lines.rowCount(); ++row)
            source.numbers.append(resultLineNumber(lines.index(row, 0).data().toString()));
        return source;
    }

    // Shown once the work takes more than a second; its cancel button stops it.
    ExportProgress progressIn(QProgressDialog& dialog)
    {
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setMinimumDuration(1000);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        return [&dialog](int done, int total) {
            dialog.setMaximum(total);
            dialog.setValue(done);
            return !dialog.wasCanceled();
        };
    }

    void exportResults()
    {
        if (m_list.model()->rowCount() == 0)
            return;
        const QString target = m_dialogs.chooseFolder(QStringLiteral("选择导出到哪个文件夹"));
        if (target.isEmpty())
            return;
        const ExportSource receipts = source();
        QProgressDialog dialog(QStringLiteral("正在导出票据…"), QStringLiteral("取消"), 0,
                               int(receipts.numbers.size()), &m_window);
        ExportOutcome outcome;
        try {
            outcome =
                exportReceipts(receipts, target, exportFolderName(m_category, m_text, QDate::currentDate()),
                               progressIn(dialog));
        } catch (const ExportError& e) {
            dialog.close();
            m_dialogs.info(e.message());
            return;
        }
        dialog.close();
        if (outcome.folder.isEmpty()) {
            m_dialogs.info(QStringLiteral("导出已取消，没有留下任何文件。"));
            return;
        }
        QString message =
            QStringLiteral("已导出 %1 张票据到“%2”。").arg(outcome.exported).arg(outcome.folder);
        if (outcome.gone > 0)
            message += QStringLiteral("另有 %1 张票据在查询之后已被删除，没有导出。").arg(outcome.gone);
        if (m_dialogs.yesNo(message + QStringLiteral("要打开这个文件夹吗？")))
            openDocument(outcome.folder, QString());
    }

    void printResults()
    {
        if (m_list.model()->rowCount() == 0)
            return;
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setFullPage(true);
        printer.setDocName(QStringLiteral("票据"));
        QPrintDialog ask(&printer, &m_window);
        if (ask.exec() != QDialog::Accepted)
            return;
        const ExportSource receipts = source();
        QProgressDialog dialog(QStringLiteral("正在打印票据…"), QStringLiteral("取消"), 0,
                               int(receipts.numbers.size()), &m_window);
        try {
            if (printReceipts(receipts, printer, progressIn(dialog)) < 0)
                printer.abort();
        } catch (const ExportError& e) {
            dialog.close();
            m_dialogs.info(e.message());
        }
    }

    Form_main& m_window;
    Dialogs& m_dialogs;
    QListView& m_list;
    QAction* m_export = nullptr;
    QAction* m_print = nullptr;
    QString m_category;
    QString m_text;
};

} // namespace

void attachReceiptExport(Form_main& window, Dialogs& dialogs, FailureReport& report)
{
    new ReceiptExportActions(window, dialogs, report);
}

} // namespace qb
