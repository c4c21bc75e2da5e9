#pragma once

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

namespace qb::fuzz {

// Metafile text needs fonts and the EMF converter is found beside the
// executable: both need the application object. It gets a short argument
// list of its own so that it never takes libFuzzer's flags for its own.
inline void startApplication(char* program)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Warnings from the image readers on damaged input are expected by the
    // thousand; they would only slow the run down.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            std::abort();
        }
    });
    static int argc = 1;
    static char* argv[] = {program, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace qb::fuzz
