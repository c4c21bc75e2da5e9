#include "util/gui/BusyCursor.h"

#include <QApplication>
#include <QEvent>
#include <QSet>
#include <QWidget>

namespace qb {

namespace {

// Watches the application's windows while the busy cursor is up and swaps in
// the arrow while a modal one is shown.
class ModalWatcher : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            if (auto* widget = qobject_cast<QWidget*>(watched);
                widget && widget->isWindow() && widget->isModal() && !m_modal.contains(watched)) {
                m_modal.insert(watched);
                if (m_modal.size() == 1)
                    QGuiApplication::changeOverrideCursor(Qt::ArrowCursor);
            }
            break;
        case QEvent::Hide:
        case QEvent::Destroy:
            if (m_modal.remove(watched) && m_modal.isEmpty())
                QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
            break;
        default:
            break;
        }
        return false;
    }

private:
    QSet<QObject*> m_modal;
};

int g_depth = 0;
ModalWatcher* g_watcher = nullptr;

} // namespace

BusyCursor::BusyCursor()
{
    if (g_depth++ > 0 || !qApp)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    g_watcher = new ModalWatcher;
    qApp->installEventFilter(g_watcher);
}

BusyCursor::~BusyCursor()
{
    if (--g_depth > 0 || !g_watcher)
        return;
    delete g_watcher;
    g_watcher = nullptr;
    QGuiApplication::restoreOverrideCursor();
}

} // namespace qb
