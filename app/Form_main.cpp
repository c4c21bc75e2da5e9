#include "app/Form_main.h"

#include "app/Accessibility.h"
#include "app/DataSource.h"
#include "app/StoreBootstrap.h"
#include "controls/FileDropPan.h"
#include "picture/PictureLoader.h"
#include "store/FoldedText.h"
#include "ui_Form_main.h"
#include "util/BusyCursor.h"
#include "util/FailureReport.h"
#include "util/Fonts.h"
#include "util/GuardedHandler.h"
#include "util/Trim.h"
#include "util/vornDialogs.h"
#include "util/vornwindows.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>
#include <limits>
#include <unordered_set>

namespace qb {

namespace {
enum Page { StartPage = 0, EntryPage = 1, SearchPage = 2 };

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
    ui->DBGrid1->horizontalHeader()->setFont(font);
    ui->DBGrid1->horizontalHeader()->setSectionsMovable(true);
    ui->DBGrid1->horizontalHeader()->setHighlightSections(true);
    ui->DBGrid1->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    ui->DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->DBGrid1->verticalHeader()->setMinimumWidth(14);

    m_receipts.setConnection(&m_connection);
    m_pictureNumbers = std::make_unique<PictureFolderNumbers>(pictureFolder(), [this] {
        try {
            m_pictureNumbers->current();
        } catch (...) {
        }
    });
    // The search's copy, read while the program was idle, knows how many
    // receipts there are: the grid shows without the engine counting them.
    m_receipts.setKnownCount(schema::kReceipts, [this] { return m_receiptIndex.receiptCount(); });
    m_categories.setConnection(&m_connection);
    m_dataSource1 = std::make_unique<DataSource>(m_receipts);
    ui->DBGrid1->setModel(m_dataSource1.get());
    ui->DBGrid1->horizontalHeader()->setDefaultSectionSize(150);

    report.guard([this] { m_startPicture = loadStartPicture(); });
    ui->Image1->setPicture(m_startPicture);
    connectHandlers();

    m_report.guard([this] { FormCreate(); });
    describeMainWindow(*this);
}

void Form_main::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        m_prepareCopy.start();
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

// Back from another program, which may have written the store: the copy is
// read again while idle if it has to be.
void Form_main::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_placed)
        m_prepareCopy.start();
    QWidget::changeEvent(event);
}

Form_main::~Form_main()
{
    ui->DBGrid1->setModel(nullptr);
}

void Form_main::connectHandlers()
{
    connect(ui->BitBtn2, &QToolButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::BitBtn2Click));
    connect(ui->BitBtn3, &QToolButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::BitBtn3Click));
    // A label has no click signal of its own.
    ui->Label1->installEventFilter(this);

    connect(ui->Button1, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::Button1Click));
    connect(ui->Button2, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::Button2Click));
    connect(ui->Button3, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::Button3Click));
    connect(ui->Button4, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::Button4Click));
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
    connect(m_dataSource1.get(), &DataSource::currentRowChanged, this, &Form_main::followGridCurrentRow);
    connect(m_dataSource1.get(), &DataSource::readFailed, this,
            [this](std::exception_ptr failure) { m_report.report(failure); });
    ui->DBGrid1->viewport()->installEventFilter(this);
    // Enter or Space on the current row loads it, as a click on a cell does.
    connect(ui->DBGrid1, &DataGrid::currentRowChosen, this,
            guardedHandler(m_report, this, &Form_main::DBGrid1CellClick));

    connect(ui->Button5, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_main::Button5Click));
    // Enter in the search text presses 查找, as in every search field.
    connect(ui->Edit4, &QLineEdit::returnPressed, ui->Button5, &QPushButton::click);
    ui->ListBox1->setModel(&m_results);
    // Lines shown from the receipts' copy stay as they were found when the copy changes.
    m_receiptIndex.setBeforeChange([this] { m_results.keepLines(); });
    // Slices of a few milliseconds keep the window answering input between them.
    // The timer keeps the copy's wait as its interval, so that coming back to
    // the window does not cut that wait short.
    m_prepareCopy.setSingleShot(true);
    m_prepareCopy.setInterval(0);
    connect(&m_prepareCopy, &QTimer::timeout, this, [this] {
        // A store that did not open stays as it is until the user acts.
        if (m_connection.connected() && !m_receiptIndex.prepare(std::chrono::milliseconds(4)))
            m_prepareCopy.start(m_receiptIndex.idleWait());
    });
    ui->ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The view moves the current line before it selects it, so the
    // selection, not the current line, tells which line the user chose.
    connect(ui->ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_fillingResults)
            return;
        m_resultRowChanged = true;
        guardedHandler(m_report, this, &Form_main::ListBox1Click)();
    });
    connect(ui->ListBox1, &QListView::clicked, this, [this] {
        // A click on the line already selected shows it again; a click that
        // selected another line was handled by the selection change.
        if (!m_resultRowChanged)
            guardedHandler(m_report, this, &Form_main::ListBox1Click)();
    });
    ui->ListBox1->viewport()->installEventFilter(this);
}

void Form_main::followGridCurrentRow(int row)
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

bool Form_main::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        guardedHandler(m_report, this, &Form_main::Label1Click)();
    if (watched == ui->ListBox1->viewport() && event->type() == QEvent::MouseButtonPress)
        m_resultRowChanged = false;
    if (watched == ui->DBGrid1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = ui->DBGrid1->indexAt(mouse->position().toPoint());
        // The press has made the row current already.
        if (mouse->button() == Qt::LeftButton && index.isValid())
            guardedHandler(m_report, this, &Form_main::DBGrid1CellClick)();
    }
    if (watched == ui->DBGrid1->viewport() && event->type() == QEvent::Wheel) {
        moveGridByWheel(*static_cast<QWheelEvent*>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The wheel moves the current receipt a row per notch, as the keys do, and
// the grid follows it; it loads nothing into the fields. A touchpad's small
// steps add up to notches.
void Form_main::moveGridByWheel(const QWheelEvent& wheel)
{
    m_wheelRemainder += wheel.angleDelta().y();
    const int rows = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder %= QWheelEvent::DefaultDeltasPerStep;
    if (rows == 0 || !m_receipts.active())
        return;
    guardedHandler(m_report, [&] { m_receipts.moveTo(std::max(0, m_receipts.currentIndex() - rows)); })();
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
    ui->PageControl1->setCurrentIndex(StartPage);
}

void Form_main::BitBtn2Click()
{
    ui->PageControl1->setCurrentIndex(EntryPage);
    m_dataSource1->setShowing(true);
    refreshCategoryLists();
    ui->Image2->setPicture(m_startPicture);
    if (!m_pictureNumbers->watching())
        QTimer::singleShot(0, this, &Form_main::preparePictureNumbers);
}

// Reading the numbers and taking the notices is a favour to the next filing,
// which reads them itself and reports what fails.
void Form_main::preparePictureNumbers()
{
    try {
        m_pictureNumbers->current();
    } catch (...) {
    }
}

void Form_main::BitBtn3Click()
{
    ui->PageControl1->setCurrentIndex(SearchPage);
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
