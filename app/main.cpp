#include "app/Application.h"
#include "app/core/ApplicationTitle.h"
#include "util/FailureReport.h"
#include "util/ProgramFolder.h"
#include "util/gui/Fonts.h"
#include "util/gui/MessageBoxDialogs.h"
#include "util/gui/QtTranslations.h"

#include <QFile>
#include <QIcon>

int main(int argc, char** argv)
{
    qb::Application app(argc, argv);
    qb::substituteFonts();
    qb::installQtTranslations(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    // Qt's own idea of the executable's path is empty when the folder's name
    // is not valid in the locale; the system's bytes are always there.
    const QByteArray executable = qb::executablePath();
    const QString title = qb::applicationTitle(QFile::decodeName(executable));
    QCoreApplication::setApplicationName(title);

    qb::MessageBoxDialogs dialogs;
    qb::FailureReport report(dialogs, title);
    app.setFailureReport(&report);
    return qb::runProgram(executable, dialogs, report);
}
