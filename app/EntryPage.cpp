// The receipt entry page: filing, changing, deleting and loading receipts.

#include "app/EntryPage.h"

#include "app/DataSource.h"
#include "app/Form_main.h"
#include "app/PictureDisplay.h"
#include "app/core/PictureRules.h"
#include "app/core/ReceiptSearch.h"
#include "controls/FileDropPan.h"
#include "picture/PictureLoader.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "ui_Form_main.h"
#include "util/FailureReport.h"
#include "util/Trim.h"
#include "util/gui/BusyCursor.h"
#include "util/gui/Fonts.h"
#include "util/gui/GuardedHandler.h"
#include "util/vornDialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

namespace qb {

using schema::kCategory;
using schema::kDescription;
using schema::kPicture;
using schema::kTitle;

EntryPage::EntryPage(Form_main& window, Ui::Form_main& ui, Dialogs& dialogs, FailureReport& report)
    : m_window(window), ui(&ui), m_dialogs(dialogs), m_report(report), m_connection(window.ADOConnection1()),
      m_receipts(window.ADOQuery1()), m_categories(window.ADOQuery2()), m_startPicture(window.startPicture())
{
    const QFont font = programFont();
    ui.DBGrid1->horizontalHeader()->setFont(font);
    ui.DBGrid1->horizontalHeader()->setSectionsMovable(true);
    ui.DBGrid1->horizontalHeader()->setHighlightSections(true);
    ui.DBGrid1->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    ui.DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui.DBGrid1->verticalHeader()->setMinimumWidth(14);

    m_pictureNumbers = std::make_unique<PictureFolderNumbers>(pictureFolder(), [this] {
        try {
            m_pictureNumbers->current();
        } catch (...) {
        }
    });
    m_dataSource1 = std::make_unique<DataSource>(m_receipts);
    ui.DBGrid1->setModel(m_dataSource1.get());
    ui.DBGrid1->horizontalHeader()->setDefaultSectionSize(150);
    connectHandlers();
}

EntryPage::~EntryPage()
{
    ui->DBGrid1->setModel(nullptr);
}

void EntryPage::connectHandlers()
{
    connect(ui->Button1, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &EntryPage::Button1Click));
    connect(ui->Button2, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &EntryPage::Button2Click));
    connect(ui->Button3, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &EntryPage::Button3Click));
    connect(ui->Button4, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &EntryPage::Button4Click));
    connect(ui->AIFileDropPan1, &TAIFileDropPan::OnDragFile, this,
            guardedHandler(m_report, [this](QObject* sender, const QStringList& files) {
                AIFileDropPan1DragFile(sender, files);
            }));

    // The grid and the receipts record set share one current row: a click, a
    // key or the wheel in the grid moves the record set, and every move of
    // the record set shows in the grid. Only a left click on a cell loads
    // the receipt into the fields.
    connect(ui->DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            guardedHandler(m_report, [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid() && current.row() != m_receipts.currentIndex())
                    m_receipts.moveTo(current.row());
            }));
    connect(m_dataSource1.get(), &DataSource::currentRowChanged, this, &EntryPage::followGridCurrentRow);
    connect(m_dataSource1.get(), &DataSource::readFailed, this,
            [this](std::exception_ptr failure) { m_report.report(failure); });
    ui->DBGrid1->viewport()->installEventFilter(this);
    // Enter or Space on the current row loads it, as a click on a cell does.
    connect(ui->DBGrid1, &DataGrid::currentRowChosen, this,
            guardedHandler(m_report, this, &EntryPage::DBGrid1CellClick));
}

void EntryPage::followGridCurrentRow(int row)
{
    if (row < 0 || row >= m_dataSource1->rowCount())
        return;
    const QModelIndex current = ui->DBGrid1->currentIndex();
    if (current.row() == row)
        return;
    const QModelIndex target = m_dataSource1->index(row, std::max(0, current.column()));
    ui->DBGrid1->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    ui->DBGrid1->scrollTo(target);
}

bool EntryPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->DBGrid1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = ui->DBGrid1->indexAt(mouse->position().toPoint());
        // The press has made the row current already.
        if (mouse->button() == Qt::LeftButton && index.isValid())
            guardedHandler(m_report, this, &EntryPage::DBGrid1CellClick)();
    }
    if (watched == ui->DBGrid1->viewport() && event->type() == QEvent::Wheel) {
        moveGridByWheel(*static_cast<QWheelEvent*>(event));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The wheel moves the current receipt a row per notch, as the keys do, and
// the grid follows it; it loads nothing into the fields. A touchpad's small
// steps add up to notches.
void EntryPage::moveGridByWheel(const QWheelEvent& wheel)
{
    m_wheelRemainder += wheel.angleDelta().y();
    const int rows = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder %= QWheelEvent::DefaultDeltasPerStep;
    if (rows == 0 || !m_receipts.active())
        return;
    guardedHandler(m_report, [&] { m_receipts.moveTo(std::max(0, m_receipts.currentIndex() - rows)); })();
}

QString EntryPage::pictureFolder() const
{
    return m_window.pictureFolder();
}

void EntryPage::refreshCategoryLists()
{
    m_window.refreshCategoryLists();
}

void EntryPage::startShowingGrid()
{
    m_dataSource1->setShowing(true);
}

void EntryPage::preparePictureNumbersWhenIdle()
{
    if (!m_pictureNumbers->watching())
        QTimer::singleShot(0, this, &EntryPage::preparePictureNumbers);
}

// Reading the numbers and taking the notices is a favour to the next filing,
// which reads them itself and reports what fails.
void EntryPage::preparePictureNumbers()
{
    try {
        m_pictureNumbers->current();
    } catch (...) {
    }
}

void EntryPage::showPictureInPreview(const QString& path)
{
    const BusyCursor busy;
    ui->Image2->setPicture(loadAndRemember(path, ui->Image2->size()));
    ui->Image2->setSource({path, QString(), QString()});
    ui->Image2->setAccessibleDescription(QFileInfo(path).fileName());
}

// Loads a picture for a box and keeps what the decoder said of the file.
QImage EntryPage::loadAndRemember(const QString& path, QSize box)
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
void EntryPage::requireShowablePicture(const QString& path)
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

void EntryPage::resetEntryFields()
{
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Edit3->clear();
    ui->Image2->setPicture(m_startPicture);
    m_clickedPicturePath.clear();
}

void EntryPage::Button1Click()
{
    const QString chosen = m_dialogs.openPicture();
    if (chosen.isEmpty())
        return;
    ui->Edit3->setText(chosen);
    showPictureInPreview(ui->Edit3->text());
}

void EntryPage::AIFileDropPan1DragFile(QObject*, const QStringList& FileList)
{
    // A drag can offer files and then deliver none; there is nothing to take.
    if (FileList.isEmpty())
        return;
    ui->Edit3->setText(FileList.constFirst());
    showPictureInPreview(ui->Edit3->text());
}

void EntryPage::Button2Click()
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
        std::vector<std::optional<QString>> row(schema::kReceiptColumns);
        row[schema::kReceiptCategoryColumn] = category;
        row[schema::kReceiptTitleColumn] = ui->Edit1->text();
        row[schema::kReceiptDescriptionColumn] = ui->Edit2->text();
        row[schema::kReceiptPictureColumn] = picture;
        m_receipts.appendRecord(row);
    } catch (...) {
        // The receipt was not filed, so its picture copy names nothing.
        if (!copied.isEmpty())
            QFile::remove(copied);
        throw;
    }
    // The category is new unless the list already shows it as one.
    if (!categoryFiled(m_connection, category)) {
        std::vector<std::optional<QString>> row(schema::kCategoryColumns);
        row[schema::kCategoryNameColumn] = category;
        m_categories.appendRecord(row);
        refreshCategoryLists();
    }
    resetEntryFields();
}

void EntryPage::Button3Click()
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
void EntryPage::Button4Click()
{
    if (!m_dialogs.yesNo(QStringLiteral("确定要删除当前的票据？")))
        return;
    const QString picture =
        m_receipts.recordCount() > 0 ? trimmed(m_receipts.fieldAsText(kPicture)) : QString();
    m_receipts.deleteRecord();
    removeUnnamedPicture(picture, pictureFolder(), namedInStore(m_connection, pictureFolder()));
    resetEntryFields();
}

bool EntryPage::clickedPictureStillShown()
{
    return !m_clickedPicturePath.isEmpty() && ui->Edit3->text() == m_clickedPicturePath &&
           m_receipts.recordCount() > 0 && m_receipts.fieldAsText(schema::kId) == m_clickedReceipt;
}

void EntryPage::DBGrid1CellClick()
{
    ui->ComboBox1->setEditText(trimmed(m_receipts.fieldAsText(kCategory)));
    ui->Edit1->setText(trimmed(m_receipts.fieldAsText(kTitle)));
    ui->Edit2->setText(trimmed(m_receipts.fieldAsText(kDescription)));
    ui->Edit3->setText(pictureFolder() + trimmed(m_receipts.fieldAsText(kPicture)));
    m_clickedPicturePath = ui->Edit3->text();
    m_clickedReceipt = m_receipts.fieldAsText(schema::kId);
    displayStoredPicture(ui->Edit3->text(), *ui->Image2, {QString(), m_clickedReceipt, ui->Edit1->text()},
                         m_startPicture, m_dialogs,
                         [this](const QString& path, QSize box) { return loadAndRemember(path, box); });
}

} // namespace qb
