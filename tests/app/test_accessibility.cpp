// The windows as a screen reader walks them: roles, names from the labels,
// what the picture boxes show, the grid's and the result list's cells, and
// the buttons pressed from the keyboard.

#include "app/Accessibility.h"
#include "login/Form_mm.h"
#include "tests/app/EntryFixture.h"

#include <QAccessible>
#include <QFile>
#include <vector>

using namespace qb;
using namespace qb::test;

namespace {

void walk(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& out)
{
    out.push_back(node);
    for (int i = 0; i < node->childCount(); ++i)
        if (QAccessibleInterface* child = node->child(i))
            walk(child, out);
}

// The interface the tree below `window` reaches for a widget; null when the
// walk does not come to it.
QAccessibleInterface* reached(QWidget* window, const QString& objectName)
{
    std::vector<QAccessibleInterface*> all;
    walk(QAccessible::queryAccessibleInterface(window), all);
    for (QAccessibleInterface* node : all)
        if (node->object() && node->object()->objectName() == objectName)
            return node;
    return nullptr;
}

QString labelOf(QAccessibleInterface* node)
{
    const auto labels = node->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.constFirst().first->text(QAccessible::Name);
}

struct Expected
{
    const char* object;
    QAccessible::Role role;
    QString name;  // empty: Qt's own name, not checked
    QString label; // the label that names the field, when it has one
};

void expectTree(QWidget* window, const std::vector<Expected>& table)
{
    for (const Expected& e : table) {
        QAccessibleInterface* node = reached(window, QString::fromLatin1(e.object));
        ASSERT_NE(node, nullptr) << e.object << " is not reachable from its window";
        EXPECT_EQ(node->role(), e.role) << e.object;
        if (!e.name.isEmpty()) {
            EXPECT_EQ(node->text(QAccessible::Name), e.name) << e.object;
        }
        if (!e.label.isEmpty()) {
            EXPECT_EQ(labelOf(node), e.label) << e.object << " is not labelled by its label";
        }
    }
}

using Role = QAccessible::Role;

} // namespace

class AccessibilityTest : public PageFixture
{
protected:
    QString description(const char* box)
    {
        return QAccessible::queryAccessibleInterface(find<QWidget>(box))->text(QAccessible::Description);
    }
};

TEST_F(AccessibilityTest, MainWindowIsAWindowWhoseFieldsAreNamedByTheirLabels)
{
    expectTree(window.get(), {
                                 {"Form_main", Role::Window, "TavrellQuillbox", ""},
                                 {"BitBtn2", Role::PushButton, "票据录入", ""},
                                 {"BitBtn3", Role::PushButton, "票据查询", ""},
                                 {"ComboBox1", Role::ComboBox, "", "票据分类"},
                                 {"Edit1", Role::EditableText, "票据标题", "票据标题"},
                                 {"Edit2", Role::EditableText, "票据说明", "票据说明"},
                                 {"Edit3", Role::EditableText, "票据图片", "票据图片"},
                                 {"Button1", Role::PushButton, "选择图片", ""},
                                 {"Button2", Role::PushButton, "新增票据", ""},
                                 {"Button4", Role::PushButton, "删除票据", ""},
                                 {"Image1", Role::Graphic, "开始图片", ""},
                                 {"Image2", Role::Graphic, "图片预览", ""},
                                 {"DBGrid1", Role::Table, "全部票据", ""},
                                 {"ComboBox2", Role::ComboBox, "", "分类"},
                                 {"Edit4", Role::EditableText, "查询内容", "查询内容"},
                                 {"Button5", Role::PushButton, "查找", ""},
                                 {"ListBox1", Role::List, "查询结果", ""},
                                 {"Image3", Role::Graphic, "票据图片", ""},
                             });
}

TEST_F(AccessibilityTest, PictureBoxesTellWhatTheyShowAndTheGridAndListReadTheirCells)
{
    EXPECT_EQ(description("Image1"), startPictureDescription());
    click("BitBtn2");
    file("办公", "打印纸", "A4", photo("scan.jpg"));
    EXPECT_EQ(description("Image2"), startPictureDescription()) << "after filing, the preview is blank again";

    clickGridRow(0);
    EXPECT_EQ(description("Image2"), "00001.jpg");
    QAccessibleTableInterface* cells = QAccessible::queryAccessibleInterface(grid())->tableInterface();
    ASSERT_NE(cells, nullptr);
    ASSERT_EQ(cells->rowCount(), 1);
    EXPECT_EQ(cells->columnDescription(2), "票据标题");
    EXPECT_EQ(cells->cellAt(0, 2)->text(QAccessible::Name), "打印纸");

    click("BitBtn3");
    EXPECT_EQ(description("Image3"), startPictureDescription());
    click("Button5");
    auto* list = find<QListView>("ListBox1");
    QAccessibleTableInterface* results = QAccessible::queryAccessibleInterface(list)->tableInterface();
    ASSERT_NE(results, nullptr);
    ASSERT_EQ(results->rowCount(), 1);
    EXPECT_EQ(results->cellAt(0, 0)->text(QAccessible::Name), "1|打印纸");
    list->setCurrentIndex(list->model()->index(0, 0));
    EXPECT_EQ(description("Image3"), "00001.jpg");

    ASSERT_TRUE(QFile::remove(pictureFolder() + "00001.jpg"));
    click("BitBtn2");
    clickGridRow(0);
    EXPECT_EQ(description("Image2"), startPictureDescription()) << "a lost picture shows the start picture";
}

TEST_F(AccessibilityTest, EnterAndSpacePressTheFocusedButton)
{
    QTest::keyClick(find<QWidget>("BitBtn2"), Qt::Key_Return);
    EXPECT_EQ(page(), 1) << "Enter on 票据录入";
    QTest::keyClick(find<QWidget>("BitBtn3"), Qt::Key_Space);
    EXPECT_EQ(page(), 2) << "Space on 票据查询";
    window->ADOQuery1().appendRecord({std::nullopt, "办公", "打印纸", "", "00001.jpg"});
    QTest::keyClick(find<QWidget>("Button5"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(find<QListView>("ListBox1")->model()->rowCount(), 1) << "keypad Enter on 查找";
}

TEST_F(AccessibilityTest, LoginDialogFieldsAreNamedByTheirLabels)
{
    Form_mm login(
        window->ADOConnection1(), dialogs, report, [] {}, [] {});
    expectTree(&login, {
                           {"Form_mm", Role::Dialog, "登录", ""},
                           {"MaskEdit1", Role::EditableText, "密码", "密码"},
                           {"BitBtn1", Role::PushButton, "登录", ""},
                           {"MaskEdit2", Role::EditableText, "新密码", "新密码"},
                           {"MaskEdit3", Role::EditableText, "再确认", "再确认"},
                           {"BitBtn2", Role::PushButton, "保存", ""},
                       });
}
