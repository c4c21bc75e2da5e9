#pragma once

#include <QApplication>

namespace qb {

class FailureReport;

// The application object. Handlers guard themselves; this is the last line
// for a failure that still escapes into Qt's event delivery, which must never
// unwind through Qt's own frames.
class Application : public QApplication
{
public:
    Application(int& argc, char** argv);
    void setFailureReport(FailureReport* report) { m_report = report; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    FailureReport* m_report = nullptr;
};

} // namespace qb
