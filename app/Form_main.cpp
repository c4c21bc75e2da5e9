#include "app/Form_main.h"

#include "app/BackupAction.h"

#include "app/Accessibility.h"
#include "app/EntryPage.h"
#include "app/PictureViewerAttachment.h"
#include "app/ReceiptExportActions.h"
#include "app/SearchPage.h"
#include "app/core/StoreBootstrap.h"
#include "picture/PictureLoader.h"
#include "store/FoldedText.h"
#include "ui_Form_main.h"
#include "util/FailureReport.h"
#include "util/Trim.h"
#include "util/gui/Fonts.h"
#include "util/gui/GuardedHandler.h"
#include "util/gui/WindowPlacement.h"
#include "util/gui/vornwindows.h"
#include "util/vornDialogs.h"

#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <limits>
#include <unordered_set>

namespace qb {

namespace {
enum Page { kStartPage = 0, kEntryPage = 1, kSearchPage = 2 };

QImage loadStartPicture()
{
    QFile file(QStringLiteral(":/start.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return decodeJpeg(file.readAll());
}
} // namespace

Form_main::Form_main(const QString& programFolder, Dialogs& dialogs, FailureReport& report, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::Form_main>()), m_programFolder(programFolder),
      m_dialogs(dialogs), m_report(report)
{
    // Set before the controls exist, so that every one of them inherits it.
    const QFont font = programFont();
    setFont(font);
    ui->setupUi(this);
    // The fields take texts of any length: a line edit would cut them at
    // 32,767 characters, and a change would write the cut text back.
    for (QLineEdit* field : findChildren<QLineEdit*>())
        field->setMaxLength(std::numeric_limits<int>::max());

    m_receipts.setConnection(&m_connection);
    // The search's copy, read while the program was idle, knows how many
    // receipts there are: the grid shows without the engine counting them.
    m_receipts.setKnownCount(schema::kReceipts, [this] { return m_searchPage->receiptCount(); });
    m_categories.setConnection(&m_connection);
    m_searchPage = std::make_unique<SearchPage>(*this, *ui, m_dialogs, m_report);
    m_entryPage = std::make_unique<EntryPage>(*this, *ui, m_dialogs, m_report);

    report.guard([this] { m_startPicture = loadStartPicture(); });
    ui->Image1->setPicture(m_startPicture);
    connectHandlers();
    attachReceiptExport(*this, m_dialogs, m_report);
    attachPictureViewer(*this, m_dialogs);

    m_report.guard([this] { FormCreate(); });
    describeMainWindow(*this);
    attachBackupAction(*this, m_connection, m_programFolder, m_dialogs);
}

void Form_main::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        m_searchPage->prepareCopyWhenIdle();
        centreOnScreen(*this);
    }
    QWidget::showEvent(event);
}

// Back from another program, which may have written the store: the copy is
// read again while idle if it has to be.
void Form_main::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_placed)
        m_searchPage->prepareCopyWhenIdle();
    QWidget::changeEvent(event);
}

Form_main::~Form_main() = default;

void Form_main::connectHandlers()
{
    connect(ui->BitBtn2, &QToolButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::BitBtn2Click));
    connect(ui->BitBtn3, &QToolButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::BitBtn3Click));
    // A label has no click signal of its own.
    ui->Label1->installEventFilter(this);
}

bool Form_main::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        guardedHandler(m_report, this, &Form_main::Label1Click)();
    return QWidget::eventFilter(watched, event);
}

QString Form_main::pictureFolder() const
{
    return pictureFolderPath(m_programFolder);
}

QString Form_main::vendorAddress()
{
    return QStringLiteral("https://tavrell-studio.example.com/");
}

void Form_main::FormCreate()
{
    bootstrapStore(m_programFolder, m_connection, m_receipts, m_categories);
    ui->PageControl1->setCurrentIndex(kStartPage);
}

void Form_main::BitBtn2Click()
{
    ui->PageControl1->setCurrentIndex(kEntryPage);
    m_entryPage->startShowingGrid();
    refreshCategoryLists();
    ui->Image2->setPicture(m_startPicture);
    m_entryPage->preparePictureNumbersWhenIdle();
}

void Form_main::BitBtn3Click()
{
    ui->PageControl1->setCurrentIndex(kSearchPage);
    refreshCategoryLists();
    ui->Image3->setPicture(m_startPicture);
}

void Form_main::Label1Click()
{
    openDocument(vendorAddress(), QString());
}

void Form_main::refreshCategoryLists()
{
    // One line per category as every comparison of categories sees them:
    // spellings that differ in case or in blanks at the ends show once, as
    // first filed.
    m_categories.first();
    QStringList names;
    std::unordered_set<std::string> seen;
    for (; !m_categories.eof(); m_categories.next()) {
        const QString name = trimmed(m_categories.fieldAsText(schema::kCategory));
        if (seen.insert(categoryKey(name)).second)
            names.append(name);
    }

    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(names);
    ui->ComboBox1->setCurrentIndex(-1);
    ui->ComboBox1->clearEditText();

    const QString searchText = ui->ComboBox2->currentText();
    ui->ComboBox2->clear();
    ui->ComboBox2->addItems(names);
    ui->ComboBox2->setCurrentIndex(-1);
    ui->ComboBox2->setEditText(searchText);
}

} // namespace qb
