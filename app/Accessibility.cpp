#include "app/Accessibility.h"

#include "controls/Accessible.h"
#include "controls/ImageBox.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace qb {

namespace {

// The main window is a top-level widget of its own class, which Qt reports as
// a plain pane; a screen reader announces it as a window by its caption.
QAccessibleInterface* mainWindowFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("qb::Form_main"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

// In place before the first window exists, as an assistive tool may ask
// while the windows are still being built.
const bool g_factoryInstalled = [] {
    QAccessible::installFactory(mainWindowFactory);
    return true;
}();

} // namespace

QString startPictureDescription()
{
    return QStringLiteral("开始图片：TavrellQuillbox");
}

void describeMainWindow(QWidget& formMain)
{
    QAccessible::installFactory(mainWindowFactory);
    if (auto* start = formMain.findChild<ImageBox*>(QStringLiteral("Image1")))
        describeStartPicture(formMain, start->picture(), startPictureDescription());
    pressButtonsWithEnter(formMain);
}

} // namespace qb
