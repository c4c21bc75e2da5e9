#include "controls/FileDropPan.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// What a file manager puts on the clipboard for a drag of files: the URLs and,
// as most do, the same names as plain text, which a line edit would insert.
std::unique_ptr<QMimeData> fileDrag(const QStringList& paths, const QString& text = QStringLiteral("typed"))
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(path.contains(QStringLiteral("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
    }
    data->setUrls(urls);
    data->setText(text);
    return data;
}

std::unique_ptr<QMimeData> textDrag(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

struct DragOutcome
{
    bool enterAccepted = false;
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

// One whole drag over a widget, as the window would deliver it: enter, a move,
// the drop. QApplication passes an enter that a widget does not take on to its
// parents, and sends the move and the drop to whichever widget took the enter
// (none when the drag was refused).
DragOutcome dragOnto(QWidget* target, const QMimeData& data,
                     Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
{
    const QPoint pos = target->rect().center();
    DragOutcome outcome;
    QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    outcome.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    outcome.moveAccepted = move.isAccepted();
    QDropEvent drop(QPointF(pos), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    outcome.dropAccepted = drop.isAccepted();
    outcome.dropAction = drop.dropAction();
    return outcome;
}

// The upper part of the entry page: the panel with labels, the category combo
// box, the line edits, a button and the preview, in a shown window.
class FileDropPanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(1000, 340);
        panel = new TAIFileDropPan(window.get());
        panel->setGeometry(0, 0, 1000, 337);
        new QLabel(QStringLiteral("票据分类"), panel);
        combo = new QComboBox(panel);
        combo->setEditable(true);
        combo->setGeometry(79, 13, 178, 24);
        edit = new QLineEdit(panel);
        edit->setGeometry(79, 133, 306, 24);
        new QPushButton(QStringLiteral("..."), panel);
        preview = new QLabel(panel);
        preview->setGeometry(464, 16, 521, 275);
        window->show();
    }

    QString folderWith(const QString& name)
    {
        const QString path = temp.path() + name;
        QDir().mkpath(path);
        return path;
    }

    qb::test::TempFolder temp;
    std::unique_ptr<QWidget> window;
    TAIFileDropPan* panel = nullptr;
    QComboBox* combo = nullptr;
    QLineEdit* edit = nullptr;
    QLabel* preview = nullptr;
};

TEST_F(FileDropPanTest, StartsAsBevelledPanelThatAcceptsFiles)
{
    EXPECT_TRUE(panel->acceptFile());
    EXPECT_TRUE(panel->acceptDrops());
    EXPECT_TRUE(panel->FileList().isEmpty());
    EXPECT_EQ(panel->frameShape(), QFrame::Panel);
    EXPECT_EQ(panel->frameShadow(), QFrame::Raised);
    EXPECT_EQ(panel->lineWidth(), 1);

    // A .ui file sets it through the property system.
    ASSERT_TRUE(panel->setProperty("AcceptFile", false));
    EXPECT_FALSE(panel->property("AcceptFile").toBool());
    EXPECT_FALSE(panel->acceptDrops());
}

TEST_F(FileDropPanTest, FilesDroppedAnywhereOverThePanelReachItInOrderAndWhole)
{
    const QString first = temp.write(QStringLiteral("发票 1.jpg"), "x");
    const QString folder = folderWith(QStringLiteral("scans"));
    const QString longName =
        temp.write(QString(120, QLatin1Char('d')) + QLatin1Char('/') + QString(120, QLatin1Char('e')) +
                       QLatin1Char('/') + QString(120, QLatin1Char('f')) + QStringLiteral("/picture.jpg"),
                   "x");
    ASSERT_GT(longName.size(), 400);
    const QString last = temp.write(QStringLiteral("a.bmp"), "x");
    const QStringList expected{first, folder, longName, last};

    // Widgets that exist before the window is shown, and some that come later,
    // also below an intermediate container or moved in as a finished subtree.
    auto* container = new QWidget(panel);
    container->setGeometry(0, 200, 300, 40);
    container->show();
    auto* lateEdit = new QLineEdit(container);
    lateEdit->show();
    auto* subtree = new QWidget;
    auto* movedEdit = new QLineEdit(subtree);
    subtree->setParent(panel);
    subtree->show();

    const std::vector<std::pair<const char*, QWidget*>> targets{
        {"panel", panel},
        {"image box, which takes no drops itself", preview},
        {"line edit", edit},
        {"combo box edit part", combo->lineEdit()},
        {"combo box", combo},
        {"line edit created after show", lateEdit},
        {"line edit moved in with its parent", movedEdit},
    };
    for (const auto& [where, target] : targets) {
        SCOPED_TRACE(where);
        const QString textBefore = edit->text();
        const QString comboBefore = combo->currentText();
        QSignalSpy spy(panel, &TAIFileDropPan::OnDragFile);
        const auto data = fileDrag(expected, expected.join(QLatin1Char('\n')));

        const DragOutcome outcome = dragOnto(target, *data);

        EXPECT_TRUE(outcome.enterAccepted);
        EXPECT_TRUE(outcome.moveAccepted);
        EXPECT_TRUE(outcome.dropAccepted);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).value<QObject*>(), panel);
        EXPECT_EQ(spy.at(0).at(1).toStringList(), expected);
        EXPECT_EQ(panel->FileList(), expected);
        EXPECT_EQ(edit->text(), textBefore) << "the names were typed into the field";
        EXPECT_EQ(combo->currentText(), comboBefore) << "the names were typed into the combo box";
        if (auto* field = qobject_cast<QLineEdit*>(target)) {
            EXPECT_TRUE(field->text().isEmpty()) << "the names were typed into the target field";
        }
    }
}

TEST_F(FileDropPanTest, EachDropRefillsThePanelsOwnListBeforeTheSignal)
{
    const QString a = temp.write(QStringLiteral("a.jpg"), "x");
    const QString b = temp.write(QStringLiteral("b.jpg"), "x");
    const QString c = temp.write(QStringLiteral("c.jpg"), "x");
    const QStringList* listAddress = &panel->FileList();

    QStringList seen;
    bool sawOwnList = false;
    QObject::connect(panel, &TAIFileDropPan::OnDragFile, panel,
                     [&](QObject* sender, const QStringList& list) {
                         seen = list;
                         sawOwnList = sender == panel && &list == &panel->FileList();
                     });

    dragOnto(edit, *fileDrag({a, b}));
    EXPECT_EQ(seen, (QStringList{a, b}));
    dragOnto(panel, *fileDrag({c}));
    EXPECT_EQ(seen, QStringList{c});
    EXPECT_EQ(panel->FileList(), QStringList{c}) << "the second drop must replace the first";
    EXPECT_TRUE(sawOwnList) << "the slot should get the panel and its own list";
    EXPECT_EQ(&panel->FileList(), listAddress);
}

// A drag's data is fetched again for the drop, and the source may then hand
// over something other than what it showed while the drag was offered.
TEST_F(FileDropPanTest, DropWithoutLocalNamesEmptiesTheListAndStillSignals)
{
    const QString local = temp.write(QStringLiteral("a.jpg"), "x");
    struct Case
    {
        const char* name;
        QStringList urls;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"only web addresses", {QStringLiteral("https://example.org/a.jpg")}, {}},
        {"web address among files", {QStringLiteral("https://example.org/a.jpg"), local}, {local}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dragOnto(panel, *fileDrag({temp.write(QStringLiteral("earlier.jpg"), "x")}));
        ASSERT_FALSE(panel->FileList().isEmpty());
        QSignalSpy spy(panel, &TAIFileDropPan::OnDragFile);
        const auto offered = fileDrag({local});
        const auto delivered = fileDrag(c.urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, offered.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, delivered.get(), Qt::LeftButton, Qt::NoModifier);

        QApplication::sendEvent(edit, &drop);

        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(1).toStringList(), c.expected);
        EXPECT_EQ(panel->FileList(), c.expected);
        EXPECT_TRUE(edit->text().isEmpty());
    }
}

TEST_F(FileDropPanTest, AcceptFileFalseRefusesFilesAndWritingTrueAcceptsAgain)
{
    const QString file = temp.write(QStringLiteral("a.jpg"), "x");
    dragOnto(panel, *fileDrag({file}));
    QSignalSpy spy(panel, &TAIFileDropPan::OnDragFile);

    panel->setAcceptFile(false);
    EXPECT_FALSE(panel->acceptDrops());
    const auto other = fileDrag({temp.write(QStringLiteral("b.jpg"), "x")}, QStringLiteral("as text"));
    const DragOutcome overPanel = dragOnto(panel, *other);
    EXPECT_FALSE(overPanel.enterAccepted);
    EXPECT_FALSE(overPanel.moveAccepted);
    EXPECT_FALSE(overPanel.dropAccepted);
    // Not taken over, the field handles the drag as any line edit would.
    dragOnto(edit, *other);
    EXPECT_EQ(edit->text(), QStringLiteral("as text"));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(panel->FileList(), QStringList{file}) << "a refused drop must not touch the list";

    for (int write = 1; write <= 2; ++write) {
        SCOPED_TRACE(write);
        panel->setAcceptFile(true);
        EXPECT_TRUE(panel->acceptDrops());
        const DragOutcome outcome = dragOnto(combo->lineEdit(), *other);
        EXPECT_TRUE(outcome.enterAccepted);
        EXPECT_TRUE(outcome.dropAccepted);
        EXPECT_EQ(spy.count(), write);
    }
}

TEST_F(FileDropPanTest, CollectsNamesWithNobodyListening)
{
    const QString file = temp.write(QStringLiteral("a.jpg"), "x");

    const DragOutcome outcome = dragOnto(preview, *fileDrag({file}));

    EXPECT_TRUE(outcome.dropAccepted);
    EXPECT_EQ(panel->FileList(), QStringList{file});
}

// A web address is dragged as text and URL; it names no file we could take.
TEST_F(FileDropPanTest, TextAndWebAddressesDraggedOntoAFieldGoIntoTheField)
{
    QSignalSpy spy(panel, &TAIFileDropPan::OnDragFile);
    const QString link = QStringLiteral("https://example.org/");
    const std::vector<std::pair<const char*, std::shared_ptr<QMimeData>>> drags{
        {"plain text", textDrag(QStringLiteral("电费"))},
        {"web address", fileDrag({link}, link)},
    };
    for (const auto& [kind, data] : drags) {
        EXPECT_FALSE(dragOnto(panel, *data).enterAccepted) << kind << " offered to the panel";
        for (QLineEdit* field : {edit, combo->lineEdit()}) {
            SCOPED_TRACE(std::string(kind) + (field == edit ? " on line edit" : " on combo box"));
            field->clear();
            const DragOutcome outcome = dragOnto(field, *data);
            EXPECT_TRUE(outcome.dropAccepted);
            EXPECT_EQ(field->text(), data->text());
        }
    }
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(FileDropPanTest, DropEndsAsCopySoTheSourceKeepsItsFile)
{
    const QString file = temp.write(QStringLiteral("a.jpg"), "x");
    struct Case
    {
        const char* name;
        Qt::DropActions offered;
        bool taken;
        Qt::DropAction action;
    };
    const std::vector<Case> cases{
        {"copy or move offered", Qt::CopyAction | Qt::MoveAction, true, Qt::CopyAction},
        {"link or move offered", Qt::LinkAction | Qt::MoveAction, true, Qt::LinkAction},
        {"only move offered", Qt::MoveAction, false, Qt::IgnoreAction},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy spy(panel, &TAIFileDropPan::OnDragFile);
        const DragOutcome outcome = dragOnto(edit, *fileDrag({file}), c.offered);
        EXPECT_EQ(outcome.enterAccepted, c.taken);
        EXPECT_EQ(outcome.dropAccepted, c.taken);
        if (c.taken) {
            EXPECT_EQ(outcome.dropAction, c.action);
        }
        EXPECT_EQ(spy.count(), c.taken ? 1 : 0);
        EXPECT_TRUE(edit->text().isEmpty());
    }
}

TEST_F(FileDropPanTest, FieldsOutsideThePanelKeepTheirOwnDrops)
{
    const QString file = temp.write(QStringLiteral("a.jpg"), "x");
    QSignalSpy spy(panel, &TAIFileDropPan::OnDragFile);

    QWidget elsewhere;
    auto* movedOut = new QLineEdit(panel);
    movedOut->setParent(&elsewhere);
    auto* dialog = new QDialog(panel);
    auto* dialogEdit = new QLineEdit(dialog);

    for (QLineEdit* field : {movedOut, dialogEdit}) {
        SCOPED_TRACE(field == movedOut ? "moved out of the panel" : "in a dialog owned by the panel");
        dragOnto(field, *fileDrag({file}, QStringLiteral("as text")));
        EXPECT_EQ(field->text(), QStringLiteral("as text"));
    }
    EXPECT_EQ(spy.count(), 0);
}

} // namespace
