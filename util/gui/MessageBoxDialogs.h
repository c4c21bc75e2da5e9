#pragma once

#include "util/vornDialogs.h"

#include <QStringList>

class QFileDialog;

namespace qb {

// The caption of the program's notices and questions.
inline const QString kMessageCaption = QStringLiteral("提示");

// The real boxes: application-modal QMessageBox without a parent window,
// and a file dialog over the active window for pictures.
class MessageBoxDialogs : public Dialogs
{
public:
    void info(const QString& text) override;
    bool yesNo(const QString& question) override;
    void failure(const QString& text, const QString& caption) override;
    QString openPicture() override;
    QString chooseFolder(const QString& title) override;
    QString saveBackup(const QString& suggested) override;

    // The name filters the picture dialog offers, "All" first.
    static QStringList pictureFilters();
    // Sets up a file dialog as the picture dialog.
    static void preparePictureDialog(QFileDialog& dialog);
};

} // namespace qb
