#include "controls/Accessible.h"

#include "controls/ImageBox.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>

namespace qb {

namespace {

// Kept on the window, so that a box can tell the start picture from a
// receipt's picture.
constexpr char kStartPictureProperty[] = "qbStartPicture";
constexpr char kStartDescriptionProperty[] = "qbStartPictureDescription";

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
        const QWidget* window = box()->window();
        const QVariant start = window->property(kStartPictureProperty);
        if (start.isValid() && shown == start.value<QImage>())
            return window->property(kStartDescriptionProperty).toString();
        return box()->accessibleDescription();
    }
    QSize imageSize() const override { return box()->size(); }
    QPoint imagePosition() const override { return box()->mapToGlobal(QPoint(0, 0)); }

private:
    ImageBox* box() const { return static_cast<ImageBox*>(widget()); }
};

QAccessibleInterface* imageBoxFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ImageBox"))
        return new ImageBoxAccessible(static_cast<ImageBox*>(object));
    return nullptr;
}

// Interfaces are made on first demand and then kept, and an assistive tool
// may ask while the windows are still being built: the factory is in place
// before the first window exists.
const bool g_factoryInstalled = [] {
    QAccessible::installFactory(imageBoxFactory);
    return true;
}();

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

} // namespace

void describeStartPicture(QWidget& window, const QImage& picture, const QString& description)
{
    QAccessible::installFactory(imageBoxFactory);
    window.setProperty(kStartPictureProperty, picture);
    window.setProperty(kStartDescriptionProperty, description);
}

void pressButtonsWithEnter(QWidget& window)
{
    auto* enter = new EnterPressesButton(&window);
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        button->installEventFilter(enter);
}

} // namespace qb
