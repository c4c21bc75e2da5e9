#pragma once

#include <QApplication>

namespace qb {

class Dialogs;
class FailureReport;

// Runs the program from the executable at `executable` (its path as the
// system gives it, raw bytes): the main window, made ready hidden, beside the
// executable, then the login, then the main window's event loop until the
// user closes it. Returns the exit code. When the executable's folder cannot
// be determined, it says so and returns without writing anything.
int runProgram(const QByteArray& executable, Dialogs& dialogs, FailureReport& report);

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
