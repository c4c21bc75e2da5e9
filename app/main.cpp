#include "app/Application.h"
#include "app/ApplicationTitle.h"
#include "app/Form_main.h"
#include "login/Form_mm.h"
#include "util/FailureReport.h"
#include "util/Fonts.h"
#include "util/MessageBoxDialogs.h"

#include <QDir>
#include <QIcon>

int main(int argc, char** argv)
{
    qb::Application app(argc, argv);
    qb::substituteFonts();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    const QString title = qb::applicationTitle(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(title);

    qb::MessageBoxDialogs dialogs;
    qb::FailureReport report(dialogs, title);
    app.setFailureReport(&report);

    const QString programFolder =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator();
    qb::Form_main mainWindow(programFolder, dialogs, report);

    // The login ends the program itself unless the password was right; only
    // then does the main window's event loop run.
    bool ended = false;
    qb::Form_mm login(
        mainWindow.ADOConnection1(), dialogs, report, [&] { mainWindow.show(); }, [&] { ended = true; });
    login.exec();
    if (ended || !login.loggedIn())
        return 0;
    return app.exec();
}
