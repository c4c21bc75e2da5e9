// The busy cursor: shown while the long handlers run, the arrow while a modal
// window waits for the user, and gone afterwards.

#include "tests/app/EntryFixture.h"
#include "util/gui/BusyCursor.h"

#include <QDialog>
#include <QGuiApplication>
#include <QStackedWidget>
#include <optional>

using namespace qb;
using namespace qb::test;

namespace {

std::optional<Qt::CursorShape> overrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? std::optional(cursor->shape()) : std::nullopt;
}

} // namespace

TEST(BusyCursorTest, NestsAndGivesWayToAModalWindow)
{
    {
        BusyCursor outer;
        {
            BusyCursor inner;
            EXPECT_EQ(overrideShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(overrideShape(), Qt::WaitCursor) << "the outer one still runs";

        QDialog question;
        question.setModal(true);
        question.show();
        EXPECT_EQ(overrideShape(), Qt::ArrowCursor) << "a modal window waits for the user";
        question.hide();
        EXPECT_EQ(overrideShape(), Qt::WaitCursor);

        QDialog plain;
        plain.show();
        EXPECT_EQ(overrideShape(), Qt::WaitCursor) << "a window that is not modal changes nothing";
    }
    EXPECT_EQ(overrideShape(), std::nullopt);
}

using BusyHandlersTest = PageFixture;

TEST_F(BusyHandlersTest, PageOpeningSearchAndDeleteRunUnderTheBusyCursor)
{
    // What ran, and whether the busy cursor was up at that moment.
    QStringList seen;
    auto record = [&](const QString& what) {
        return [&seen, what] {
            seen.append(what + (overrideShape() == Qt::WaitCursor ? " busy" : " not busy"));
        };
    };
    QObject::connect(find<QStackedWidget>("PageControl1"), &QStackedWidget::currentChanged, record("page"));
    QObject::connect(find<QListView>("ListBox1")->model(), &QAbstractItemModel::modelReset, record("search"));
    QObject::connect(grid()->model(), &QAbstractItemModel::rowsRemoved, record("delete"));

    click("BitBtn2");
    file("办公", "打印纸", "A4", photo("scan.jpg"));
    clickGridRow(0);
    click("Button4");
    click("BitBtn3");
    click("Button5");

    EXPECT_EQ(seen, (QStringList{"page busy", "delete busy", "page busy", "search busy"}));
    EXPECT_EQ(overrideShape(), std::nullopt) << "the cursor is back once the handlers are done";
}
