#include "tests/support/Printers.h"
#include "util/gui/MessageBoxDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace qb;

namespace {

struct SeenBox
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool applicationModal = false;
    bool hasParent = true;
    Qt::TextFormat format = Qt::AutoText;
    // What the OK, Yes and No buttons say, those the box has, in this order.
    QStringList captions;
};

// Answers the next box the program shows by pressing `answer`, noting what
// the box looked like.
SeenBox answerNextBox(QMessageBox::StandardButton answer, const std::function<void()>& show)
{
    SeenBox seen;
    // Polls until the box is up: the first try may come before it is shown.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        if (!box)
            return;
        poll.stop();
        seen = {box->windowTitle(),
                box->text(),
                box->icon(),
                box->standardButtons(),
                box->windowModality() == Qt::ApplicationModal,
                box->parentWidget() != nullptr,
                box->textFormat(),
                {}};
        for (const auto b : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No})
            if (const QAbstractButton* button = box->button(b))
                seen.captions.append(button->text());
        box->button(answer)->click();
    });
    poll.start();
    show();
    return seen;
}

} // namespace

TEST(MessageBoxTest, InfoYesNoAndFailureBoxesLookAndAnswerAsTheProgramNeeds)
{
    MessageBoxDialogs dialogs;
    SeenBox info = answerNextBox(QMessageBox::Ok, [&] { dialogs.info("票据相关的图片丢失"); });
    EXPECT_EQ(info.caption, "提示");
    EXPECT_EQ(info.text, "票据相关的图片丢失");
    EXPECT_EQ(info.icon, QMessageBox::Information);
    EXPECT_EQ(info.buttons, QMessageBox::Ok);
    EXPECT_EQ(info.captions, QStringList{"确定"}) << "Qt's own texts must be Chinese";
    EXPECT_TRUE(info.applicationModal);
    EXPECT_FALSE(info.hasParent);

    bool answer = true;
    SeenBox question =
        answerNextBox(QMessageBox::No, [&] { answer = dialogs.yesNo("确定要删除当前的票据？"); });
    EXPECT_EQ(question.caption, "提示");
    EXPECT_EQ(question.icon, QMessageBox::Question);
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.captions, (QStringList{"是(&Y)", "否(&N)"}));
    EXPECT_FALSE(answer);
    answerNextBox(QMessageBox::Yes, [&] { answer = dialogs.yesNo("确定要删除当前的票据？"); });
    EXPECT_TRUE(answer);

    SeenBox failure =
        answerNextBox(QMessageBox::Ok, [&] { dialogs.failure("I/O error 183.", "Tavrellquillbox"); });
    EXPECT_EQ(failure.caption, "Tavrellquillbox");
    EXPECT_EQ(failure.text, "I/O error 183.");
    EXPECT_EQ(failure.icon, QMessageBox::Critical);
    EXPECT_EQ(failure.buttons, QMessageBox::Ok);
}

TEST(MessageBoxTest, EveryBoxShowsItsTextAsPlainText)
{
    MessageBoxDialogs dialogs;
    const QString named = "图片文件“<b>x</b>y.jpg”不存在。";
    struct Box
    {
        const char* kind;
        QMessageBox::StandardButton answer;
        std::function<void()> show;
    };
    const std::vector<Box> boxes{
        {"info", QMessageBox::Ok, [&] { dialogs.info(named); }},
        {"yes/no", QMessageBox::No, [&] { dialogs.yesNo(named); }},
        {"failure", QMessageBox::Ok, [&] { dialogs.failure(named, "Tavrellquillbox"); }},
    };
    for (const auto& [kind, answer, show] : boxes) {
        const SeenBox seen = answerNextBox(answer, show);
        EXPECT_EQ(seen.text, named) << kind;
        EXPECT_EQ(seen.format, Qt::PlainText) << kind << " box would render the name as markup";
    }
}
