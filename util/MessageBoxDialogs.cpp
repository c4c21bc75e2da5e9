#include "util/MessageBoxDialogs.h"

#include <QMessageBox>

namespace qb {

namespace {
const QString kCaption = QStringLiteral("提示");

int showBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, caption, text, buttons);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}
} // namespace

void MessageBoxDialogs::info(const QString& text)
{
    showBox(QMessageBox::Information, kCaption, text, QMessageBox::Ok);
}

bool MessageBoxDialogs::yesNo(const QString& question)
{
    return showBox(QMessageBox::Question, kCaption, question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void MessageBoxDialogs::failure(const QString& text, const QString& caption)
{
    showBox(QMessageBox::Critical, caption, text, QMessageBox::Ok);
}

} // namespace qb
