#include "login/Form_mm.h"

#include "login/codec/vornjiami.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/vorndata.h"
#include "ui_Form_mm.h"
#include "util/FailureReport.h"
#include "util/Trim.h"
#include "util/gui/Fonts.h"
#include "util/gui/GuardedHandler.h"
#include "util/gui/WindowPlacement.h"
#include "util/vornDialogs.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <exception>
#include <initializer_list>
#include <limits>
#include <sqlcipher/sqlite3.h>
#include <utility>

namespace qb {

namespace {

const QString kInitialPassword = QStringLiteral("583920");

// What went wrong in the store, in the user's words, from the engine's result
// code: the engine's own texts are English.
QString storeReason(const StoreError& error)
{
    switch (error.engineCode()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据文件正被另一个程序使用");
    case SQLITE_NOTADB:
        return QStringLiteral("数据文件不是本程序的数据文件，或已损坏");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据文件已损坏");
    case SQLITE_CANTOPEN:
        return QStringLiteral("数据文件打不开");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("没有读取数据文件的权限");
    case SQLITE_IOERR:
        return QStringLiteral("读取数据文件时出错");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    case 0:
        return QStringLiteral("数据文件没有打开");
    default:
        return QStringLiteral("数据文件读取出错，引擎错误代码 %1").arg(error.engineCode());
    }
}

bool hasOnlyByteUnits(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

} // namespace

Form_mm::Form_mm(Connection& adoConnection1, Dialogs& dialogs, FailureReport& report,
                 std::function<void()> showMain, std::function<void()> endProcess, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Form_mm>()), m_connection(adoConnection1),
      m_dialogs(dialogs), m_report(report), m_showMain(std::move(showMain)),
      m_endProcess(std::move(endProcess)), m_ADOQuery_mm(new RecordSet(QStringLiteral("ADOQuery_mm"), this))
{
    m_ui->setupUi(this);
    m_ADOQuery_mm->setObjectName(QStringLiteral("ADOQuery_mm"));

    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // Designer keeps point sizes only; the dialog's font is given in pixels.
    setFont(programFont());
    // The password fields show "*" for every character. The rule sits on the
    // fields alone: a style sheet on the dialog would keep its font from
    // reaching the labels and buttons.
    // They take passwords of any length, as typed.
    for (QLineEdit* field : {m_ui->MaskEdit1, m_ui->MaskEdit2, m_ui->MaskEdit3}) {
        field->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        field->setMaxLength(std::numeric_limits<int>::max());
    }

    // The pictures may be missing from a build; a button without one still works.
    m_ui->BitBtn1->setIcon(QIcon(QStringLiteral(":/key.png")));
    m_ui->BitBtn3->setIcon(QIcon(QStringLiteral(":/fold.png")));
    m_ui->BitBtn2->setIcon(QIcon(QStringLiteral(":/save.png")));

    connect(m_ui->BitBtn1, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_mm::BitBtn1Click));
    connect(m_ui->BitBtn2, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_mm::BitBtn2Click));
    connect(m_ui->BitBtn3, &QPushButton::clicked, this,
            guardedHandler(m_report, this, &Form_mm::BitBtn3Click));
    m_ui->MaskEdit1->installEventFilter(this);
    // The user comes to type the password: the cursor waits in its field from the start.
    m_ui->MaskEdit1->setFocus();

    // The dialog comes up even when the store cannot be read; it then takes
    // no password as right, so the windows stay closed.
    m_report.guard([this] { FormCreate(); });
}

Form_mm::~Form_mm() = default;

void Form_mm::FormCreate()
{
    m_expanded = false;
    applyHeight();
    m_loggedIn = false;
    m_attempts = 0;
    m_ADOQuery_mm->setConnection(&m_connection);

    try {
        readPassword();
    } catch (const StoreError& error) {
        if (!m_passwordKnown)
            m_unreadReason = storeReason(error);
        throw;
    }
}

void Form_mm::readPassword()
{
    m_ADOQuery_mm->selectFrom(schema::kPasswords);
    try {
        m_ADOQuery_mm->open();
    } catch (const StoreError& unread) {
        // On the first start the table does not exist yet.
        createPasswordTable(unread);
    }

    // No stored password: the initial one holds from now on, also when the
    // store cannot take it (a read-only store); that failure is reported.
    if (m_ADOQuery_mm->recordCount() == 0) {
        m_password = kInitialPassword;
        m_passwordKnown = true;
        m_ADOQuery_mm->appendRecord({vornjiami::encode(kInitialPassword)});
    } else {
        m_password = vornjiami::decode(trimmed(m_ADOQuery_mm->fieldAsText(schema::kPasswordField)));
        m_passwordKnown = true;
    }
}

// Creates the table `pass` after its first query failed with `unread`, and
// opens it. A failure leaves the record set closed and is thrown on; where
// the table exists, the failure to read it is the one thrown.
void Form_mm::createPasswordTable(const StoreError& unread)
{
    try {
        m_ADOQuery_mm->clearSql();
        m_ADOQuery_mm->addSql(schema::kCreatePasswords);
        m_ADOQuery_mm->execSql();
    } catch (const std::exception&) {
        // Another start of the program may have made the table just now.
        if (vorndata::openTable(*m_ADOQuery_mm, schema::kPasswords))
            return;
        // A store without the table holds no password, so the initial one
        // holds even though the table cannot be made; the failure to make
        // it is the one worth reporting. Where the table is there but
        // cannot be read, or the store cannot be read at all, the stored
        // password is unknown: the dialog admits nobody and says why.
        if (m_connection.hasTable(schema::kPasswords))
            throw unread;
        m_password = kInitialPassword;
        m_passwordKnown = true;
        throw;
    }
    vorndata::openTable(*m_ADOQuery_mm, schema::kPasswords);
}

void Form_mm::BitBtn1Click()
{
    ++m_attempts;
    if (!m_passwordKnown) {
        // Whatever was typed may be right: the user must not be told it is wrong.
        m_ui->MaskEdit1->clear();
        m_dialogs.info(QStringLiteral("无法读取保存的密码（%1），不能登录。").arg(m_unreadReason));
    } else if (m_ui->MaskEdit1->text() == m_password) {
        m_showMain();
        m_loggedIn = true;
        m_ui->MaskEdit1->clear();
        done(QDialog::Accepted);
    } else {
        m_ui->MaskEdit1->clear();
        m_dialogs.info(QStringLiteral("密码不对"));
    }
    if (m_attempts > 2 && !m_loggedIn)
        done(QDialog::Rejected);
}

void Form_mm::BitBtn2Click()
{
    // Without a readable stored password there is nothing to change.
    if (!m_passwordKnown || m_password.isEmpty())
        return;
    if (m_ui->MaskEdit1->text() != m_password) {
        m_ui->MaskEdit1->clear();
        m_dialogs.info(QStringLiteral("请输入原码"));
        return;
    }
    const QString newPassword = m_ui->MaskEdit2->text();
    if (newPassword != m_ui->MaskEdit3->text()) {
        m_dialogs.info(QStringLiteral("新密码两次不一致"));
        return;
    }
    // The stored form carries one byte per unit in a column of 50
    // characters; anything else would be stored so that it can never be
    // typed again.
    if (!hasOnlyByteUnits(newPassword)) {
        m_dialogs.info(
            QStringLiteral("新密码只能包含西欧字母（含带重音的字母）、数字和符号，不能有汉字、€ 等其他字符"));
        return;
    }
    if (newPassword.size() > kMaxPasswordLength) {
        m_dialogs.info(QStringLiteral("新密码最长%1个字符").arg(kMaxPasswordLength));
        return;
    }

    // The password in use changes only once the store holds the new one, so
    // that a failed write leaves the user with the password the store knows.
    try {
        m_ADOQuery_mm->edit();
        m_ADOQuery_mm->setFieldValue(schema::kPasswordField, vornjiami::encode(newPassword));
        m_ADOQuery_mm->post();
    } catch (...) {
        // A half-made edit would otherwise be posted by the record set's next move.
        if (m_ADOQuery_mm->editing())
            m_ADOQuery_mm->cancel();
        throw;
    }
    m_password = newPassword;
    m_dialogs.info(QStringLiteral("密码修改成功,请输入新密码登录"));
    m_ui->MaskEdit1->clear();
    m_ui->MaskEdit2->clear();
    m_ui->MaskEdit3->clear();
}

void Form_mm::BitBtn3Click()
{
    m_expanded = true;
    applyHeight();
}

void Form_mm::MaskEdit1KeyPress(QChar key)
{
    if (key == u'\r')
        m_ui->BitBtn1->click();
}

void Form_mm::FormClose()
{
    if (!m_loggedIn)
        m_endProcess();
}

void Form_mm::done(int result)
{
    QDialog::done(result);
    m_report.guard([this] { FormClose(); });
}

void Form_mm::keyPressEvent(QKeyEvent* event)
{
    // Esc would reject the dialog, and a dialog closed without a login ends
    // the program.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form_mm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The frame is known only once the window exists; the heights are outer heights.
    applyHeight();
    centreOnDesktop();
}

// A window manager adds its frame after the window is shown; the dialog is
// activated once the frame is there, so the outer height is set again then.
void Form_mm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        applyHeight();
        // The window manager placed the dialog before it had its final
        // height; it is put in the middle once, then stays where the user puts it.
        if (!m_centredWithFrame)
            centreOnDesktop();
        m_centredWithFrame = true;
    }
}

void Form_mm::centreOnDesktop()
{
    centreOnScreen(*this);
}

bool Form_mm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->MaskEdit1 && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        for (const QChar key : typed)
            guardedHandler(m_report, [this, key] { MaskEdit1KeyPress(key); })();
    }
    // The character always goes on to the field.
    return QDialog::eventFilter(watched, event);
}

void Form_mm::applyHeight()
{
    // Folded away, the change area lies below the bottom edge; hidden as
    // well, its fields take no focus, so that Tab goes only where the user
    // can see. Unfolded, they take their places in the tab order.
    for (QWidget* part : std::initializer_list<QWidget*>{m_ui->Label2, m_ui->MaskEdit2, m_ui->Label3,
                                                         m_ui->MaskEdit3, m_ui->BitBtn2})
        part->setVisible(m_expanded);
    const int outer = m_expanded ? kExpandedHeight : kCollapsedHeight;
    const int frame = frameGeometry().height() - geometry().height();
    setFixedSize(width(), outer - frame);
}

} // namespace qb
