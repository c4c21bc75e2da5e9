#include "app/Application.h"

#include "app/Form_main.h"
#include "util/ProgramFolder.h"
#include "login/Form_mm.h"
#include "util/FailureReport.h"
#include "util/vornDialogs.h"

#include <optional>

namespace qb {

int runProgram(const QByteArray& executable, Dialogs& dialogs, FailureReport& report)
{
    // Every file of the program lies beside it; a folder that cannot be told
    // would put the store somewhere else.
    const std::optional<QString> programFolder = programFolderOf(executable);
    if (!programFolder) {
        dialogs.info(QStringLiteral("无法确定本程序所在的文件夹，程序没有启动，也没有写入任何文件。"));
        return 1;
    }
    Form_main mainWindow(*programFolder, dialogs, report);

    // The login ends the program itself unless the password was right; only
    // then does the main window's event loop run.
    bool ended = false;
    Form_mm login(
        mainWindow.ADOConnection1(), dialogs, report, [&] { mainWindow.show(); }, [&] { ended = true; });
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
