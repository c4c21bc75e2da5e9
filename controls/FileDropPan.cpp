#include "controls/FileDropPan.h"

#include <QChildEvent>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace qb {
namespace {

// The local file names a drag carries; web addresses and other non-file
// URLs have no name we could open, so they are left out.
QStringList localFileNames(const QMimeData* data)
{
    QStringList names;
    if (!data) {
        return names;
    }
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QString name = url.toLocalFile();
        if (!name.isEmpty()) {
            names.append(QDir::toNativeSeparators(name));
        }
    }
    return names;
}

bool carriesLocalFiles(const QMimeData* data)
{
    if (!data || !data->hasUrls()) {
        return false;
    }
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

// We only read the names, so the drop must end as a copy (or a link). Were
// we to confirm a proposed move, the source would be entitled to delete its
// file. A drag that offers neither is refused.
bool settleAsCopy(QDropEvent* event)
{
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
    } else if (event->possibleActions() & Qt::LinkAction) {
        event->setDropAction(Qt::LinkAction);
    } else {
        return false;
    }
    event->accept();
    return true;
}

} // namespace
} // namespace qb

TAIFileDropPan::TAIFileDropPan(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAcceptFile(true);
}

TAIFileDropPan::~TAIFileDropPan()
{
    // The children outlive this destructor briefly (the base class deletes
    // them); they should not call back into a half-destroyed panel.
    unwatchSubtree(this);
}

void TAIFileDropPan::setAcceptFile(bool accept)
{
    m_acceptFile = accept;
    setAcceptDrops(accept);
}

void TAIFileDropPan::dragEnterEvent(QDragEnterEvent* event)
{
    offerDrag(event);
}

void TAIFileDropPan::dragMoveEvent(QDragMoveEvent* event)
{
    offerDrag(event);
}

void TAIFileDropPan::dropEvent(QDropEvent* event)
{
    takeDrop(event);
}

void TAIFileDropPan::offerDrag(QDropEvent* event)
{
    if (m_acceptFile && qb::carriesLocalFiles(event->mimeData()) && qb::settleAsCopy(event)) {
        return;
    }
    event->ignore();
}

// The data is fetched anew for the drop, so a drag that showed files may
// deliver none. That still counts as a drop: the list is emptied and the
// event raised, so that listeners never take an earlier drop's names as new.
void TAIFileDropPan::takeDrop(QDropEvent* event)
{
    if (!m_acceptFile || !qb::settleAsCopy(event)) {
        event->ignore();
        return;
    }
    m_fileList.clear();
    m_fileList.append(qb::localFileNames(event->mimeData()));
    emit OnDragFile(this, m_fileList);
}

void TAIFileDropPan::childEvent(QChildEvent* event)
{
    QFrame::childEvent(event);
    if (event->added() || event->polished()) {
        watchSubtree(event->child());
    } else if (event->removed()) {
        unwatchSubtree(event->child());
    }
}

// Line edits and combo boxes accept drops themselves, and Qt hands a drag to
// the widget under the cursor first; without this filter a file dropped on a
// field would be typed into it as text. Every descendant is watched, also
// those created later, which announce themselves through ChildAdded at
// whichever level they appear.
bool TAIFileDropPan::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildPolished:
        watchSubtree(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::ChildRemoved:
        unwatchSubtree(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::DragEnter:
        m_takingDrag = takesOverDragFrom(watched, event);
        if (m_takingDrag) {
            offerDrag(static_cast<QDragEnterEvent*>(event));
            return true;
        }
        break;
    case QEvent::DragMove:
        if (m_takingDrag) {
            offerDrag(static_cast<QDragMoveEvent*>(event));
            return true;
        }
        break;
    case QEvent::DragLeave:
        m_takingDrag = false;
        break;
    case QEvent::Drop:
        // Decided at the enter: the data is fetched anew for the drop and
        // may no longer name local files, yet the field must not get it.
        if (m_takingDrag) {
            m_takingDrag = false;
            takeDrop(static_cast<QDropEvent*>(event));
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

// Only drags of files, only while the panel accepts files, and only for
// widgets inside the panel's own window: a dialog parented to the panel is a
// window of its own and keeps its drops.
bool TAIFileDropPan::takesOverDragFrom(QObject* watched, const QEvent* event) const
{
    if (!m_acceptFile || !watched->isWidgetType()) {
        return false;
    }
    if (!isAncestorOf(static_cast<QWidget*>(watched))) {
        return false;
    }
    return qb::carriesLocalFiles(static_cast<const QDropEvent*>(event)->mimeData());
}

void TAIFileDropPan::watchSubtree(QObject* root)
{
    if (!root || !root->isWidgetType()) {
        return;
    }
    if (root != this) {
        root->installEventFilter(this);
    }
    const QList<QWidget*> descendants = root->findChildren<QWidget*>();
    for (QWidget* widget : descendants) {
        widget->installEventFilter(this);
    }
}

void TAIFileDropPan::unwatchSubtree(QObject* root)
{
    if (!root || !root->isWidgetType()) {
        return;
    }
    if (root != this) {
        root->removeEventFilter(this);
    }
    const QList<QWidget*> descendants = root->findChildren<QWidget*>();
    for (QWidget* widget : descendants) {
        widget->removeEventFilter(this);
    }
}
