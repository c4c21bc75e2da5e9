// The receipt entry page: filing, changing, deleting and loading receipts.

#include "app/DataSource.h"
#include "app/Form_main.h"
#include "app/PictureRules.h"
#include "app/ReceiptSearch.h"
#include "picture/PictureLoader.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "ui_Form_main.h"
#include "util/BusyCursor.h"
#include "util/FilePaths.h"
#include "util/Trim.h"
#include "util/vornDialogs.h"

#include <QFile>
#include <QFileInfo>

namespace qb {

using schema::kCategory;
using schema::kDescription;
using schema::kPicture;
using schema::kTitle;

void Form_main::showPictureInPreview(const QString& path)
{
    const BusyCursor busy;
    ui->Image2->setPicture(loadAndRemember(path, ui->Image2->size()));
    ui->Image2->setSource({path, QString(), QString()});
    ui->Image2->setAccessibleDescription(QFileInfo(path).fileName());
}

// Loads a picture for a box and keeps what the decoder said of the file.
QImage Form_main::loadAndRemember(const QString& path, QSize box)
{
    const QFileInfo file(path);
    PictureVerdict verdict{path, file.size(), file.lastModified().toMSecsSinceEpoch(), QString()};
    try {
        QImage picture = loadPicture(path, box);
        m_lastLoad = std::move(verdict);
        return picture;
    } catch (const PictureError& e) {
        verdict.failure = e.message();
        m_lastLoad = std::move(verdict);
        throw;
    }
}

// A picture is filed only when the program can show it: a file that no
// decoder takes, or that its decoder refused, would be filed as a receipt
// whose picture never shows. The decoder's own failure is what the user
// sees, as at the preview. A path that names no file is left to the import,
// which says what is wrong with it.
void Form_main::requireShowablePicture(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return;
    if (m_lastLoad.path == path && m_lastLoad.size == file.size() &&
        m_lastLoad.modified == file.lastModified().toMSecsSinceEpoch()) {
        if (!m_lastLoad.failure.isEmpty())
            throw PictureError(m_lastLoad.failure);
        return;
    }
    const BusyCursor busy;
    loadAndRemember(path, ui->Image2->size());
}

void Form_main::resetEntryFields()
{
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Edit3->clear();
    ui->Image2->setPicture(m_startPicture);
    m_clickedPicturePath.clear();
}

void Form_main::Button1Click()
{
    const QString chosen = m_dialogs.openPicture();
    if (chosen.isEmpty())
        return;
    ui->Edit3->setText(chosen);
    showPictureInPreview(ui->Edit3->text());
}

void Form_main::AIFileDropPan1DragFile(QObject*, const QStringList& FileList)
{
    // A drag can offer files and then deliver none; there is nothing to take.
    if (FileList.isEmpty())
        return;
    ui->Edit3->setText(FileList.constFirst());
    showPictureInPreview(ui->Edit3->text());
}

void Form_main::Button2Click()
{
    if (ui->ComboBox1->currentText().isEmpty() || ui->Edit1->text().isEmpty() ||
        ui->Edit3->text().isEmpty()) {
        m_dialogs.info(QStringLiteral("项目信息不全，请填写。"));
        return;
    }
    requireShowablePicture(ui->Edit3->text());
    const QString category = ui->ComboBox1->currentText();
    QString copied;
    const QString picture =
        importPicture(ui->Edit3->text(), pictureFolder(), namedInStore(m_connection, pictureFolder()),
                      &copied, m_pictureNumbers.get());
    try {
        m_receipts.appendRecord({std::nullopt, category, ui->Edit1->text(), ui->Edit2->text(), picture});
    } catch (...) {
        // The receipt was not filed, so its picture copy names nothing.
        if (!copied.isEmpty())
            QFile::remove(copied);
        throw;
    }
    // The category is new unless the list already shows it as one.
    if (!categoryFiled(m_connection, category)) {
        m_categories.appendRecord({std::nullopt, category});
        refreshCategoryLists();
    }
    resetEntryFields();
}

void Form_main::Button3Click()
{
    if (!m_dialogs.yesNo(QStringLiteral("确定要修改原来的票据内容？")))
        return;
    // The path that the grid click built for this very receipt keeps the
    // stored name as it is, file or no file: a receipt whose picture was
    // lost can still have its title corrected.
    const bool keepPicture = clickedPictureStillShown();
    if (!keepPicture)
        requireShowablePicture(ui->Edit3->text());
    m_receipts.edit();
    QString copied;
    try {
        m_receipts.setFieldValue(kCategory, ui->ComboBox1->currentText());
        m_receipts.setFieldValue(kTitle, ui->Edit1->text());
        m_receipts.setFieldValue(kDescription, ui->Edit2->text());
        if (!keepPicture)
            m_receipts.setFieldValue(kPicture, importPicture(ui->Edit3->text(), pictureFolder(),
                                                             namedInStore(m_connection, pictureFolder()),
                                                             &copied, m_pictureNumbers.get()));
        m_receipts.post();
    } catch (...) {
        // Half a change must not be posted later by the next move of the grid.
        m_receipts.cancel();
        if (!copied.isEmpty())
            QFile::remove(copied);
        throw;
    }
    resetEntryFields();
}

// The picture to remove is the one the deleted receipt names, whatever the
// picture field shows by now, and only while no other receipt names it.
void Form_main::Button4Click()
{
    if (!m_dialogs.yesNo(QStringLiteral("确定要删除当前的票据？")))
        return;
    const QString picture =
        m_receipts.recordCount() > 0 ? trimmed(m_receipts.fieldAsText(kPicture)) : QString();
    m_receipts.deleteRecord();
    removeUnnamedPicture(picture, pictureFolder(), namedInStore(m_connection, pictureFolder()));
    resetEntryFields();
}

bool Form_main::clickedPictureStillShown()
{
    return !m_clickedPicturePath.isEmpty() && ui->Edit3->text() == m_clickedPicturePath &&
           m_receipts.recordCount() > 0 && m_receipts.fieldAsText(schema::kId) == m_clickedReceipt;
}

void Form_main::DBGrid1CellClick()
{
    ui->ComboBox1->setEditText(trimmed(m_receipts.fieldAsText(kCategory)));
    ui->Edit1->setText(trimmed(m_receipts.fieldAsText(kTitle)));
    ui->Edit2->setText(trimmed(m_receipts.fieldAsText(kDescription)));
    ui->Edit3->setText(pictureFolder() + trimmed(m_receipts.fieldAsText(kPicture)));
    m_clickedPicturePath = ui->Edit3->text();
    m_clickedReceipt = m_receipts.fieldAsText(schema::kId);
    displayStoredPicture(ui->Edit3->text(), *ui->Image2, m_clickedReceipt, ui->Edit1->text());
}

// Shows a stored picture, or the start picture and a message when its file
// is gone. A picture that cannot be decoded leaves the start picture before
// its failure is reported: the box must not go on showing the picture of the
// receipt shown before beside this receipt's fields.
void Form_main::displayStoredPicture(const QString& path, ImageBox& box, const QString& receipt,
                                     const QString& title)
{
    if (fileExists(path)) {
        const BusyCursor busy;
        try {
            box.setPicture(loadAndRemember(path, box.size()));
        } catch (...) {
            box.setPicture(m_startPicture);
            throw;
        }
        box.setAccessibleDescription(QFileInfo(path).fileName());
        box.setSource({path, receipt, title});
        return;
    }
    box.setPicture(m_startPicture);
    m_dialogs.info(QStringLiteral("票据相关的图片丢失"));
}

} // namespace qb
