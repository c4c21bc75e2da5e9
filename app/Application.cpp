#include "app/Application.h"

#include "util/FailureReport.h"

#include <QFont>

namespace qb {

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

void Application::substituteFonts()
{
    const QStringList faces{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), faces);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), faces);
}

} // namespace qb
