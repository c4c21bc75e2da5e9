#include "app/Application.h"

#include "app/Form_main.h"
#include "app/core/JetConversion.h"
#include "login/Form_mm.h"
#include "util/FailureReport.h"
#include "util/ProgramFolder.h"
#include "util/gui/MessageBoxDialogs.h"
#include "util/vornDialogs.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <optional>

namespace qb {

namespace {

// Converts a store of the Jet format before the main window connects to the
// store. The progress window comes up half a second after the converter
// started, also while it has nothing to count yet, and is kept painted.
JetConversion convertJetStoreShowingProgress(const QString& programFolder)
{
    std::unique_ptr<QProgressDialog> dialog;
    QElapsedTimer clock;
    clock.start();
    return convertJetStore(
        programFolder, programFolder + kJetConverterName, [&](long long done, long long total) {
            if (!dialog) {
                dialog = std::make_unique<QProgressDialog>();
                dialog->setWindowTitle(kMessageCaption);
                dialog->setLabelText(QStringLiteral("正在把 Jet (Access) 格式的票据库转换为本程序的格式……"));
                dialog->setCancelButton(nullptr);
                dialog->setWindowModality(Qt::ApplicationModal);
                dialog->setAutoReset(false);
                dialog->setAutoClose(false);
            }
            // The bar counts in thousands, since the dialog holds an int; it
            // runs to and fro until the converter knows how many there are.
            dialog->setRange(0, total > 0 ? int(total / 1000 + 1) : 0);
            dialog->setValue(int(done / 1000));
            if (!dialog->isVisible() && clock.elapsed() >= 500)
                dialog->show();
            QCoreApplication::processEvents();
        });
}

} // namespace

int runProgram(const QByteArray& executable, Dialogs& dialogs, FailureReport& report)
{
    // Every file of the program lies beside it; a folder that cannot be told
    // would put the store somewhere else.
    const std::optional<QString> programFolder = programFolderOf(executable);
    if (!programFolder) {
        dialogs.info(QStringLiteral("无法确定本程序所在的文件夹，程序没有启动，也没有写入任何文件。"));
        return 1;
    }
    const JetConversion conversion = convertJetStoreShowingProgress(*programFolder);
    const QString conversionNote = conversionMessage(conversion);
    // A store that stays unconverted is explained before the messages of a
    // store that cannot be opened, which the main window and the login show.
    if (conversion.outcome != JetConversion::Converted && !conversionNote.isEmpty())
        dialogs.info(conversionNote);
    Form_main mainWindow(*programFolder, dialogs, report);

    // The login ends the program itself unless the password was right; only
    // then does the main window's event loop run.
    bool ended = false;
    Form_mm login(
        mainWindow.ADOConnection1(), dialogs, report, [&] { mainWindow.show(); }, [&] { ended = true; });
    // A converted store is told of once, over the login.
    if (conversion.outcome == JetConversion::Converted)
        QTimer::singleShot(0, &login, [&] { dialogs.info(conversionNote); });
    login.exec();
    if (ended || !login.loggedIn())
        return 0;
    return QApplication::exec();
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_report)
            m_report->report(std::current_exception());
        return false;
    }
}

} // namespace qb
