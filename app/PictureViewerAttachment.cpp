#include "app/PictureViewerAttachment.h"

#include "app/PictureViewer.h"
#include "controls/ImageBox.h"

#include <QContextMenuEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcut>

namespace qb {

namespace {

const QKeySequence kViewKey(Qt::Key_F3);

class ViewerAttachment : public QObject
{
public:
    ViewerAttachment(QWidget& window, Dialogs& dialogs)
        : QObject(&window), m_window(window), m_dialogs(dialogs),
          m_entryBox(window.findChild<ImageBox*>(QStringLiteral("Image2"))),
          m_searchBox(window.findChild<ImageBox*>(QStringLiteral("Image3"))),
          m_results(window.findChild<QListView*>(QStringLiteral("ListBox1")))
    {
        for (ImageBox* box : {m_entryBox, m_searchBox})
            if (box)
                box->installEventFilter(this);
        // One key for both pages: the page shown says which box it means.
        auto* key = new QShortcut(kViewKey, &window);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, [this] {
            for (ImageBox* box : {m_entryBox, m_searchBox})
                if (box && box->isVisible())
                    open(box);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Null while the box is being destroyed, when it is an ImageBox no more.
        auto* box = qobject_cast<ImageBox*>(watched);
        if (!box)
            return false;
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            open(box);
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            QMenu menu;
            QAction* view = menu.addAction(QStringLiteral("查看原图"));
            view->setShortcut(kViewKey);
            view->setEnabled(!box->source().path.isEmpty());
            connect(view, &QAction::triggered, this, [this, box] { open(box); });
            menu.exec(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void open(ImageBox* box)
    {
        // The start picture is no file of its own: there is nothing to open.
        if (box->source().path.isEmpty())
            return;
        if (!m_viewer)
            m_viewer = new PictureViewer(m_dialogs, &m_window);
        m_viewer->setPager(box == m_searchBox
                               ? PictureViewer::Pager([this](int step) { return nextHit(step); })
                               : PictureViewer::Pager());
        m_viewer->showSource(box->source());
    }

    // Selects the hit `step` lines on, which runs what a click on it runs.
    std::optional<PictureSource> nextHit(int step)
    {
        if (!m_results || !m_results->model())
            return std::nullopt;
        const QModelIndexList selected = m_results->selectionModel()->selectedIndexes();
        const int row = (selected.isEmpty() ? -1 : selected.constFirst().row()) + step;
        if (row < 0 || row >= m_results->model()->rowCount())
            return std::nullopt;
        const QModelIndex index = m_results->model()->index(row, 0);
        m_results->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_results->scrollTo(index);
        return m_searchBox->source();
    }

    QWidget& m_window;
    Dialogs& m_dialogs;
    ImageBox* m_entryBox;
    ImageBox* m_searchBox;
    QListView* m_results;
    QPointer<PictureViewer> m_viewer;
};

} // namespace

void attachPictureViewer(QWidget& mainWindow, Dialogs& dialogs)
{
    new ViewerAttachment(mainWindow, dialogs);
}

} // namespace qb
