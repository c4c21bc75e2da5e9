#include "app/Application.h"

#include "util/FailureReport.h"

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

} // namespace qb
