#include "app/Accessibility.h"

#include "controls/ImageBox.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

#include <initializer_list>
#include <utility>

namespace qb {

namespace {

// The start picture a window shows in its picture boxes, kept on the window so
// that a box can tell it from a receipt's picture.
constexpr char kStartPictureProperty[] = "qbStartPicture";

// A picture box is a graphic; its description follows the picture: the start
// picture, or the file name the page gave when it loaded a receipt's picture.
class ImageBoxAccessible : public QAccessibleWidget, public QAccessibleImageInterface
{
public:
    explicit ImageBoxAccessible(ImageBox* box) : QAccessibleWidget(box, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Description ? imageDescription() : QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ImageInterface)
            return static_cast<QAccessibleImageInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString imageDescription() const override
    {
        const QImage& shown = box()->picture();
        if (shown.isNull())
            return QString();
        const QVariant start = box()->window()->property(kStartPictureProperty);
        if (start.isValid() && shown == start.value<QImage>())
            return startPictureDescription();
        return box()->accessibleDescription();
    }
    QSize imageSize() const override { return box()->size(); }
    QPoint imagePosition() const override { return box()->mapToGlobal(QPoint(0, 0)); }

private:
    ImageBox* box() const { return static_cast<ImageBox*>(widget()); }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ImageBox"))
        return new ImageBoxAccessible(static_cast<ImageBox*>(object));
    // The main window is a top-level widget of its own class, which Qt reports
    // as a plain pane; a screen reader announces it as a window by its caption.
    if (className == QLatin1String("qb::Form_main"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

// Interfaces are made on first demand and then kept, and an assistive tool
// may ask while the windows are still being built: the factory is in place
// before the first window exists.
const bool g_factoryInstalled = [] {
    QAccessible::installFactory(accessibleFactory);
    return true;
}();

// Enter on a focused button presses it. Push buttons do that by themselves
// only inside a dialog, tool buttons never.
class EnterPressesButton : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->isAutoRepeat() ||
            key->modifiers() & ~Qt::KeypadModifier)
            return false;
        static_cast<QAbstractButton*>(watched)->click();
        return true;
    }
};

template <typename T> T* child(QWidget& window, const char* name)
{
    return window.findChild<T*>(QString::fromLatin1(name));
}

void setBuddies(QWidget& window, std::initializer_list<std::pair<const char*, const char*>> pairs)
{
    for (const auto& [label, field] : pairs)
        if (auto* l = child<QLabel>(window, label))
            l->setBuddy(child<QWidget>(window, field));
}

void setNames(QWidget& window, std::initializer_list<std::pair<const char*, QString>> names)
{
    for (const auto& [name, text] : names)
        if (auto* w = child<QWidget>(window, name))
            w->setAccessibleName(text);
}

} // namespace

QString startPictureDescription()
{
    return QStringLiteral("开始图片：TavrellQuillbox");
}

void describeMainWindow(QWidget& formMain)
{
    QAccessible::installFactory(accessibleFactory);
    setBuddies(formMain, {{"Label2", "ComboBox1"},
                          {"Label3", "Edit1"},
                          {"Label4", "Edit2"},
                          {"Label5", "Edit3"},
                          {"Label7", "ComboBox2"},
                          {"Label8", "Edit4"}});
    setNames(formMain, {{"Image1", QStringLiteral("开始图片")},
                        {"Image2", QStringLiteral("图片预览")},
                        {"Image3", QStringLiteral("票据图片")},
                        {"Button1", QStringLiteral("选择图片")},
                        {"DBGrid1", QStringLiteral("全部票据")},
                        {"ListBox1", QStringLiteral("查询结果")},
                        {"Memo1", QStringLiteral("票据标题和说明")}});
    if (auto* start = child<ImageBox>(formMain, "Image1"))
        formMain.setProperty(kStartPictureProperty, start->picture());

    auto* enter = new EnterPressesButton(&formMain);
    for (QAbstractButton* button : formMain.findChildren<QAbstractButton*>())
        button->installEventFilter(enter);
}

void describeLoginDialog(QDialog& formMm)
{
    QAccessible::installFactory(accessibleFactory);
    setBuddies(formMm, {{"Label1", "MaskEdit1"}, {"Label2", "MaskEdit2"}, {"Label3", "MaskEdit3"}});
}

} // namespace qb
