#include "login/Form_mm.h"

#include "login/codec/vornjiami.h"
#include "tests/store/StoreFixture.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"
#include "util/Trim.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace qb {
namespace {

const QString kWrong = QStringLiteral("密码不对");
const QString kEnterOld = QStringLiteral("请输入原码");
const QString kMismatch = QStringLiteral("新密码两次不一致");
const QString kChanged = QStringLiteral("密码修改成功,请输入新密码登录");
const QString kNoWide =
    QStringLiteral("新密码只能包含西欧字母（含带重音的字母）、数字和符号，不能有汉字、€ 等其他字符");
const QString kTooLong = QStringLiteral("新密码最长36个字符");

void run(Connection& connection, const QString& statement)
{
    RecordSet query;
    query.setConnection(&connection);
    query.addSql(statement);
    query.execSql();
}

// The stored forms in `pass`, trimmed, in the engine's order.
QStringList passRows(Connection& connection)
{
    RecordSet query;
    query.setConnection(&connection);
    if (!vorndata::openTable(query, schema::kPasswords))
        return {QStringLiteral("<no table pass>")};
    QStringList rows;
    for (query.first(); !query.eof(); query.next())
        rows.append(trimmed(query.fieldAsText(QStringLiteral("mm"))));
    return rows;
}

void storePasswords(Connection& connection, const QStringList& storedForms)
{
    run(connection, schema::kCreatePasswords);
    for (const QString& form : storedForms)
        run(connection, QStringLiteral("insert into pass values('%1')").arg(form));
}

void sendKey(QWidget* target, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// The login dialog on a fresh store, connected like the main window's.
class LoginDialog : public test::StoreFixture
{
protected:
    QStringList passRows() { return qb::passRows(connection); }
    void storePasswords(const QStringList& storedForms) { qb::storePasswords(connection, storedForms); }

    test::RecordingDialogs dialogs;
    FailureReport report{dialogs, QStringLiteral("Quillbox")};
    int mainShown = 0;
    int ended = 0;

    std::unique_ptr<Form_mm> open(Connection& connection)
    {
        auto form = std::make_unique<Form_mm>(
            connection, dialogs, report,
            [this] {
                ++mainShown;
                dialogs.shown.append(QStringLiteral("main shown"));
            },
            [this] {
                ++ended;
                dialogs.shown.append(QStringLiteral("process ended"));
            });
        form->show();
        return form;
    }
    std::unique_ptr<Form_mm> open() { return open(connection); }

    static QLineEdit* field(Form_mm& form, const char* name) { return test::child<QLineEdit>(form, name); }
    static QPushButton* button(Form_mm& form, const char* name)
    {
        return test::child<QPushButton>(form, name);
    }
    // The controls that Tab visits from the password field round to it again.
    static QStringList tabWalk(Form_mm& form)
    {
        QStringList order;
        field(form, "MaskEdit1")->setFocus();
        do {
            order.append(form.focusWidget()->objectName());
            sendKey(form.focusWidget(), Qt::Key_Tab, "\t");
        } while (form.focusWidget() != field(form, "MaskEdit1") && order.size() < 10);
        return order;
    }
    static void login(Form_mm& form, const QString& password)
    {
        field(form, "MaskEdit1")->setText(password);
        button(form, "BitBtn1")->click();
    }
    static void change(Form_mm& form, const QString& old, const QString& first, const QString& second)
    {
        button(form, "BitBtn3")->click();
        field(form, "MaskEdit1")->setText(old);
        field(form, "MaskEdit2")->setText(first);
        field(form, "MaskEdit3")->setText(second);
        button(form, "BitBtn2")->click();
    }
    static void change(Form_mm& form, const QString& old, const QString& next)
    {
        change(form, old, next, next);
    }
};

TEST_F(LoginDialog, FirstStartCreatesPassWithTheEncodedInitialPassword)
{
    ASSERT_EQ(passRows(), QStringList{"<no table pass>"});
    auto form = open();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(passRows(), QStringList{"NTgzOTIw"});

    login(*form, QStringLiteral("583920"));
    EXPECT_EQ(mainShown, 1);
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(form->loggedIn());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(field(*form, "MaskEdit1")->text().isEmpty());
    EXPECT_TRUE(dialogs.shown == QStringList{"main shown"}) << dialogs.shown.join('\n').toStdString();

    // A second start finds the row and writes nothing.
    auto again = open();
    EXPECT_EQ(passRows(), QStringList{"NTgzOTIw"});
}

TEST_F(LoginDialog, OnlyTheExactPasswordLogsIn)
{
    storePasswords({vornjiami::encode(QStringLiteral("Abc"))});
    const char* wrong[] = {"abc", "ABC", "Abc ", " Abc", "Ab", "Abcd", ""};
    for (const char* typed : wrong) {
        dialogs.infos.clear();
        auto form = open();
        login(*form, QString::fromLatin1(typed));
        EXPECT_TRUE(dialogs.infos == QStringList{kWrong}) << '"' << typed << '"';
        EXPECT_TRUE(field(*form, "MaskEdit1")->text().isEmpty()) << typed;
        EXPECT_TRUE(form->isVisible()) << typed;
        EXPECT_EQ(form->attempts(), 1);
    }
    EXPECT_EQ(mainShown, 0);
    EXPECT_EQ(ended, 0);

    auto form = open();
    login(*form, QStringLiteral("Abc"));
    EXPECT_EQ(mainShown, 1);
}

TEST_F(LoginDialog, ThirdWrongPasswordEndsTheProcessAfterItsMessage)
{
    auto form = open();
    for (const char* typed : {"1", "2", "3"})
        login(*form, QString::fromLatin1(typed));
    const QStringList expected{kWrong, kWrong, kWrong, "process ended"};
    QStringList seen;
    for (const QString& line : dialogs.shown)
        seen.append(line.startsWith("info: ") ? line.mid(6) : line);
    EXPECT_EQ(seen, expected) << seen.join('\n').toStdString();
    EXPECT_EQ(mainShown, 0);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(LoginDialog, WrongOldPasswordsInTheChangeAreaAreNotCountedAsAttempts)
{
    auto form = open();
    for (int i = 0; i < 5; ++i)
        change(*form, QStringLiteral("58392"), QStringLiteral("new"));
    EXPECT_EQ(dialogs.infos, QStringList(5, kEnterOld));
    EXPECT_EQ(form->attempts(), 0);
    EXPECT_TRUE(field(*form, "MaskEdit1")->text().isEmpty());
    EXPECT_EQ(field(*form, "MaskEdit2")->text(), "new");
    EXPECT_EQ(passRows(), QStringList{"NTgzOTIw"});
    EXPECT_TRUE(form->isVisible());

    // Two wrong logins after them still leave the third try.
    login(*form, QStringLiteral("a"));
    login(*form, QStringLiteral("b"));
    login(*form, QStringLiteral("583920"));
    EXPECT_EQ(mainShown, 1);
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(LoginDialog, DifferingNewPasswordsChangeNothing)
{
    auto form = open();
    change(*form, QStringLiteral("583920"), QStringLiteral("new1"), QStringLiteral("new2"));
    EXPECT_EQ(dialogs.infos, QStringList{kMismatch});
    EXPECT_EQ(field(*form, "MaskEdit1")->text(), "583920");
    EXPECT_EQ(field(*form, "MaskEdit2")->text(), "new1");
    EXPECT_EQ(field(*form, "MaskEdit3")->text(), "new2");
    EXPECT_EQ(passRows(), QStringList{"NTgzOTIw"});
}

TEST_F(LoginDialog, ChangeKeepsTheAttemptCount)
{
    auto form = open();
    login(*form, QStringLiteral("x"));
    login(*form, QStringLiteral("y"));
    change(*form, QStringLiteral("583920"), QStringLiteral("abc"));
    EXPECT_EQ(dialogs.infos.last(), kChanged);
    EXPECT_EQ(passRows(), QStringList{"YWJj"});
    for (const char* name : {"MaskEdit1", "MaskEdit2", "MaskEdit3"})
        EXPECT_TRUE(field(*form, name)->text().isEmpty()) << name;
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->expanded());

    login(*form, QStringLiteral("583920"));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(mainShown, 0);
}

TEST_F(LoginDialog, NewPasswordHoldsAtTheNextStart)
{
    {
        auto form = open();
        change(*form, QStringLiteral("583920"), QStringLiteral("p@ss word"));
        login(*form, QStringLiteral("p@ss word"));
        EXPECT_EQ(mainShown, 1);
    }
    Connection restarted;
    ASSERT_TRUE(vorndata::connect(restarted, path, schema::kStorePassword));
    auto form = open(restarted);
    login(*form, QStringLiteral("583920"));
    login(*form, QStringLiteral("p@ss word"));
    EXPECT_EQ(dialogs.infos, (QStringList{kChanged, kWrong}));
    EXPECT_EQ(mainShown, 2);
}

TEST_F(LoginDialog, EmptyNewPasswordIsStoredAndThenSaveDoesNothing)
{
    {
        auto form = open();
        change(*form, QStringLiteral("583920"), QString());
        EXPECT_EQ(dialogs.infos, QStringList{kChanged});
    }
    EXPECT_EQ(passRows(), QStringList{""});

    Connection restarted;
    ASSERT_TRUE(vorndata::connect(restarted, path, schema::kStorePassword));
    auto form = open(restarted);
    change(*form, QString(), QStringLiteral("again"));
    EXPECT_EQ(dialogs.infos, QStringList{kChanged}) << "save must do nothing without a current password";
    EXPECT_EQ(passRows(), QStringList{""});
    login(*form, QString());
    EXPECT_EQ(mainShown, 1);
}

TEST_F(LoginDialog, EnterLogsInOnlyFromThePasswordField)
{
    auto form = open();
    button(*form, "BitBtn3")->click();
    field(*form, "MaskEdit1")->setText(QStringLiteral("583920"));
    for (const char* name : {"MaskEdit2", "MaskEdit3"}) {
        field(*form, name)->setText(QStringLiteral("zz"));
        sendKey(field(*form, name), Qt::Key_Return, QStringLiteral("\r"));
        sendKey(field(*form, name), Qt::Key_Enter, QStringLiteral("\r"));
    }
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(form->attempts(), 0);
    EXPECT_TRUE(form->isVisible());

    int returnsSeenByField = 0;
    QObject::connect(field(*form, "MaskEdit1"), &QLineEdit::returnPressed, [&] { ++returnsSeenByField; });
    field(*form, "MaskEdit1")->setText(QStringLiteral("58392"));
    sendKey(field(*form, "MaskEdit1"), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(dialogs.infos, QStringList{kWrong});
    EXPECT_EQ(form->attempts(), 1);

    field(*form, "MaskEdit1")->setText(QStringLiteral("583920"));
    sendKey(field(*form, "MaskEdit1"), Qt::Key_Enter, QStringLiteral("\r"));
    EXPECT_EQ(mainShown, 1);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(returnsSeenByField, 2) << "the field must still get the Enter it passed on";
}

TEST_F(LoginDialog, EscapeDoesNotCloseTheDialog)
{
    auto form = open();
    sendKey(field(*form, "MaskEdit1"), Qt::Key_Escape, QStringLiteral("\x1b"));
    sendKey(form.get(), Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(form->attempts(), 0);
}

TEST_F(LoginDialog, StoredValueIsTrimmedBeforeDecoding)
{
    storePasswords({"  YWJj  "});
    auto form = open();
    login(*form, QStringLiteral("abc"));
    EXPECT_EQ(mainShown, 1);
}

TEST_F(LoginDialog, OnlyTheFirstOfTwoRowsIsReadAndChanged)
{
    storePasswords({vornjiami::encode("Abc"), vornjiami::encode("xyz")});
    auto form = open();
    login(*form, QStringLiteral("xyz"));
    EXPECT_EQ(dialogs.infos, QStringList{kWrong});
    change(*form, QStringLiteral("Abc"), QStringLiteral("new"));
    EXPECT_EQ(passRows(), (QStringList{vornjiami::encode("new"), vornjiami::encode("xyz")}));
}

TEST_F(LoginDialog, RefusesNewPasswordsTheStoredFormCannotCarry)
{
    const struct
    {
        QString password;
        QString message;
    } refused[] = {
        {QStringLiteral("密码"), kNoWide}, {QStringLiteral("abc") + QChar(0x100), kNoWide},
        {QStringLiteral("100€"), kNoWide}, {QString(37, u'x'), kTooLong},
        {QString(40, u'中'), kNoWide},
    };
    auto form = open();
    for (const auto& c : refused) {
        dialogs.infos.clear();
        change(*form, QStringLiteral("583920"), c.password);
        EXPECT_EQ(dialogs.infos, QStringList{c.message}) << c.password.size();
        EXPECT_EQ(field(*form, "MaskEdit2")->text(), c.password);
        EXPECT_EQ(passRows(), QStringList{"NTgzOTIw"});
    }
    EXPECT_TRUE(dialogs.failures.isEmpty());
    login(*form, QStringLiteral("583920"));
    EXPECT_EQ(mainShown, 1) << "the password in use must stay the old one";
}

TEST_F(LoginDialog, AcceptsTheLongestAndLatin1Passwords)
{
    const QString accepted[] = {QString(36, u'x'), QStringLiteral("\u00FF\u00E9\u0001 ~")};
    for (const QString& password : accepted) {
        dialogs.infos.clear();
        {
            auto form = open();
            field(*form, "MaskEdit1")->setText(QString());
            change(*form, vornjiami::decode(passRows().value(0)), password);
            EXPECT_EQ(dialogs.infos, QStringList{kChanged}) << password.size();
            EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join('\n').toStdString();
        }
        auto form = open();
        login(*form, password);
        EXPECT_TRUE(form->loggedIn()) << password.size();
    }
}

// A write of the new password that fails, on a store of its own.
struct WriteFailure
{
    const char* how;
    std::function<void(Connection&, Form_mm&)> breakWrite;
    bool storeReadable;
};

void PrintTo(const WriteFailure& c, std::ostream* os)
{
    *os << c.how;
}

class FailedWrite : public LoginDialog, public ::testing::WithParamInterface<WriteFailure>
{
};

TEST_P(FailedWrite, KeepsTheOldPasswordEverywhere)
{
    const WriteFailure& c = GetParam();
    test::RecordingDialogs boxes;
    FailureReport failures(boxes, QStringLiteral("Quillbox"));
    int shown = 0;
    Form_mm form(
        connection, boxes, failures, [&] { ++shown; }, [] {});
    form.show();
    c.breakWrite(connection, form);

    change(form, QStringLiteral("583920"), QStringLiteral("new"));
    EXPECT_EQ(boxes.failures.size(), 1) << c.how;
    EXPECT_FALSE(boxes.infos.contains(kChanged)) << c.how;
    EXPECT_EQ(field(form, "MaskEdit1")->text(), "583920") << c.how;
    EXPECT_EQ(field(form, "MaskEdit2")->text(), "new") << c.how;
    EXPECT_EQ(field(form, "MaskEdit3")->text(), "new") << c.how;
    auto* query = test::child<RecordSet>(form, "ADOQuery_mm");
    EXPECT_FALSE(query->editing()) << c.how << ": a half-made edit would be posted later";
    if (c.storeReadable) {
        EXPECT_EQ(passRows(), QStringList{"NTgzOTIw"}) << c.how;
    }

    login(form, QStringLiteral("new"));
    EXPECT_EQ(boxes.infos, QStringList{kWrong}) << c.how << ": the new password must not be in use";
    EXPECT_EQ(shown, 0) << c.how;
    login(form, QStringLiteral("583920"));
    EXPECT_EQ(shown, 1) << c.how;
}

INSTANTIATE_TEST_SUITE_P(
    LoginDialog, FailedWrite,
    ::testing::Values(
        WriteFailure{"record set closed",
                     [](Connection&, Form_mm& form) { test::child<RecordSet>(form, "ADOQuery_mm")->close(); },
                     true},
        WriteFailure{"engine refuses the update",
                     [](Connection& connection, Form_mm&) {
                         run(connection,
                             QStringLiteral("create trigger refuse before update on pass "
                                            "begin select raise(abort, 'refused by the test'); end"));
                     },
                     true},
        WriteFailure{
            "table dropped",
            [](Connection& connection, Form_mm&) { run(connection, QStringLiteral("drop table pass")); },
            false}));

TEST_F(LoginDialog, FoldsOutToTheExpandedOuterHeight)
{
    auto form = open();
    EXPECT_FALSE(form->expanded());
    EXPECT_EQ(form->frameGeometry().height(), 162);
    EXPECT_EQ(form->width(), 346);
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the dialog must not be resizable";
    EXPECT_EQ(tabWalk(*form), (QStringList{"MaskEdit1", "BitBtn1", "BitBtn3"}))
        << "folded-away fields take no focus";

    button(*form, "BitBtn3")->click();
    EXPECT_TRUE(form->expanded());
    EXPECT_EQ(tabWalk(*form),
              (QStringList{"MaskEdit1", "BitBtn1", "MaskEdit2", "MaskEdit3", "BitBtn2", "BitBtn3"}));
    EXPECT_EQ(form->frameGeometry().height(), 315);
    EXPECT_EQ(form->width(), 346);
    EXPECT_EQ(form->minimumSize(), form->maximumSize());

    button(*form, "BitBtn3")->click();
    EXPECT_EQ(form->frameGeometry().height(), 315);

    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(LoginDialog, LayoutMatchesTheDesign)
{
    auto form = open();
    EXPECT_EQ(form->windowTitle(), "登录");
    EXPECT_EQ(form->font().family(), "宋体");
    EXPECT_EQ(form->font().pixelSize(), 16);

    const struct
    {
        const char* name;
        QRect geometry;
        const char* caption;
    } controls[] = {
        {"MaskEdit1", {84, 20, 215, 24}, ""},   {"BitBtn1", {70, 65, 94, 47}, "登录"},
        {"BitBtn3", {200, 65, 94, 47}, "改密"}, {"MaskEdit2", {84, 145, 215, 24}, ""},
        {"MaskEdit3", {84, 185, 215, 24}, ""},  {"BitBtn2", {140, 225, 89, 40}, "保存"},
    };
    for (const auto& c : controls) {
        auto* widget = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << c.name;
            EXPECT_EQ(edit->maxLength(), std::numeric_limits<int>::max()) << c.name << ": no length limit";
            edit->setText(QStringLiteral("a中"));
            EXPECT_EQ(edit->displayText(), "**") << c.name;
        } else {
            auto* b = qobject_cast<QPushButton*>(widget);
            ASSERT_NE(b, nullptr) << c.name;
            EXPECT_EQ(b->text(), QString::fromUtf8(c.caption)) << c.name;
            EXPECT_EQ(b->iconSize(), QSize(32, 32)) << c.name;
            EXPECT_FALSE(b->isDefault() || b->autoDefault())
                << c.name << ": the dialog has no default button";
            EXPECT_FALSE(b->icon().pixmap(32, 32).isNull()) << c.name << ": its picture is missing";
        }
    }
    const struct
    {
        const char* name;
        QPoint at;
        const char* caption;
    } labels[] = {
        {"Label1", {24, 25}, "密码"}, {"Label2", {24, 148}, "新密码"}, {"Label3", {24, 190}, "再确认"}};
    for (const auto& l : labels) {
        auto* label = form->findChild<QLabel*>(QString::fromLatin1(l.name));
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->pos(), l.at) << l.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.caption)) << l.name;
    }

    QStringList tabOrder;
    QWidget* w = field(*form, "MaskEdit1");
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            tabOrder.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w != field(*form, "MaskEdit1"));
    EXPECT_EQ(tabOrder,
              (QStringList{"MaskEdit1", "BitBtn1", "MaskEdit2", "MaskEdit3", "BitBtn2", "BitBtn3"}));
    EXPECT_EQ(form->focusWidget(), field(*form, "MaskEdit1")) << "the password field must have the focus";
}

TEST_F(LoginDialog, ClosingWithoutLoginEndsTheProcess)
{
    for (bool expanded : {false, true}) {
        ended = 0;
        auto form = open();
        if (expanded)
            button(*form, "BitBtn3")->click();
        form->close();
        EXPECT_EQ(ended, 1) << "expanded: " << expanded;
        EXPECT_FALSE(form->isVisible());
    }
    EXPECT_EQ(mainShown, 0);

    ended = 0;
    auto form = open();
    login(*form, QStringLiteral("583920"));
    form->close();
    EXPECT_EQ(ended, 0) << "closing after the login must not end the process";
}

// When the stored password cannot be read, no password may open the windows,
// and the user is told why instead of being told the password is wrong.
TEST_F(LoginDialog, UnreadableStoreIsReportedAndAdmitsNobody)
{
    Connection unconnected;
    auto form = open(unconnected);
    EXPECT_EQ(dialogs.failures.size(), 1) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(dialogs.failureCaptions.value(0), "Quillbox");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->frameGeometry().height(), 162);

    change(*form, QString(), QStringLiteral("new"));
    EXPECT_TRUE(dialogs.infos.isEmpty()) << "save must do nothing without a stored password";
    for (const QString& attempt : {QString(), QStringLiteral("583920"), QString()})
        login(*form, attempt);
    EXPECT_EQ(mainShown, 0);
    const QString unreadable = QStringLiteral("无法读取保存的密码（数据文件没有打开），不能登录。");
    EXPECT_EQ(dialogs.infos, (QStringList{unreadable, unreadable, unreadable}));
    EXPECT_EQ(ended, 1) << "the third attempt ends the process as usual";
}

} // namespace
} // namespace qb
