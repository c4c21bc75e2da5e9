#include "util/gui/MessageBoxDialogs.h"

#include "util/PictureTypes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace qb {

namespace {
int showBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, caption, text, buttons);
    // A file name such as "<b>x</b>y.jpg" must read as it is, not as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}
} // namespace

void MessageBoxDialogs::info(const QString& text)
{
    showBox(QMessageBox::Information, kMessageCaption, text, QMessageBox::Ok);
}

bool MessageBoxDialogs::yesNo(const QString& question)
{
    return showBox(QMessageBox::Question, kMessageCaption, question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void MessageBoxDialogs::failure(const QString& text, const QString& caption)
{
    showBox(QMessageBox::Critical, caption, text, QMessageBox::Ok);
}

QString MessageBoxDialogs::openPicture()
{
    QFileDialog dialog(QApplication::activeWindow());
    preparePictureDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString MessageBoxDialogs::chooseFolder(const QString& title)
{
    const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}

QString MessageBoxDialogs::saveBackup(const QString& suggested)
{
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("备份全部票据"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("zip (*.zip)"));
    dialog.setDefaultSuffix(QStringLiteral("zip"));
    // A backup never replaces a file; the backup itself says so when the name is taken.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QStringList MessageBoxDialogs::pictureFilters()
{
    QStringList all;
    QStringList filters;
    for (const PictureType& type : kPictureTypes) {
        const QString extension = type.extension.toString();
        const QString patterns = QStringLiteral("*.%1 *.%2").arg(extension, extension.toUpper());
        all.append(patterns);
        filters.append(QStringLiteral("%1 (%2)").arg(type.description.toString(), patterns));
    }
    filters.prepend(QStringLiteral("All (%1)").arg(all.join(u' ')));
    return filters;
}

void MessageBoxDialogs::preparePictureDialog(QFileDialog& dialog)
{
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(pictureFilters());
    dialog.selectNameFilter(pictureFilters().constFirst());
}

} // namespace qb
