#include "app/PictureViewer.h"

#include "picture/PictureLoader.h"
#include "picture/ViewGeometry.h"
#include "picture/ViewedPicture.h"
#include "util/gui/BusyCursor.h"
#include "util/vornDialogs.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace qb {

// The picture itself: painted at the viewer's zoom and turn, centred while it
// is smaller than the window, scrolled while it is larger. It decodes again
// (through ViewedPicture) whenever the zoom asks for more detail.
class PictureView : public QAbstractScrollArea
{
public:
    explicit PictureView(QWidget* parent) : QAbstractScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::StrongFocus);
        viewport()->setCursor(Qt::OpenHandCursor);
        setBackgroundRole(QPalette::Dark);
        viewport()->setBackgroundRole(QPalette::Dark);
        viewport()->setAutoFillBackground(true);
    }

    void setPicture(ViewedPicture* picture)
    {
        m_picture = picture;
        m_turns = 0;
        m_fit = true;
        relayout();
    }

    double scale() const { return m_scale; }
    int turns() const { return m_turns; }
    bool fitted() const { return m_fit; }

    void setFitted(bool fit)
    {
        m_fit = fit;
        // 1:1 is a pixel of the picture on a pixel of the screen.
        if (!fit)
            zoomTo(1.0 / devicePixelRatioF(), viewportCentre());
        else
            relayout();
    }
    void zoomBy(bool in)
    {
        zoomTo(in ? view::zoomedIn(m_scale) : view::zoomedOut(m_scale), viewportCentre());
    }
    void turnBy(int quarterTurns)
    {
        m_turns = view::normalTurns(m_turns + quarterTurns);
        relayout();
    }

    std::function<void()> detailChanged;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_picture || m_picture->image().isNull())
            return;
        QPainter painter(viewport());
        const QSize shown = shownSize();
        painter.translate(view::placement(shown, viewport()->size(), scroll()));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPixmap& pixmap = drawn(shown);
        painter.setTransform(view::pictureTransform(pixmap.deviceIndependentSize(), m_turns, shown), true);
        painter.drawPixmap(QPointF(0, 0), pixmap);
    }

    void resizeEvent(QResizeEvent*) override { relayout(); }

    void wheelEvent(QWheelEvent* event) override
    {
        if (!(event->modifiers() & Qt::ControlModifier))
            return QAbstractScrollArea::wheelEvent(event);
        m_wheel += event->angleDelta().y();
        for (; m_wheel >= QWheelEvent::DefaultDeltasPerStep; m_wheel -= QWheelEvent::DefaultDeltasPerStep)
            zoomTo(view::zoomedIn(m_scale), event->position());
        for (; m_wheel <= -QWheelEvent::DefaultDeltasPerStep; m_wheel += QWheelEvent::DefaultDeltasPerStep)
            zoomTo(view::zoomedOut(m_scale), event->position());
        event->accept();
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QAbstractScrollArea::mousePressEvent(event);
        m_dragFrom = event->position().toPoint();
        viewport()->setCursor(Qt::ClosedHandCursor);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPoint moved = event->position().toPoint() - m_dragFrom;
        m_dragFrom = event->position().toPoint();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
    }
    void mouseReleaseEvent(QMouseEvent*) override { viewport()->setCursor(Qt::OpenHandCursor); }

    void scrollContentsBy(int, int) override { viewport()->update(); }

private:
    QPoint scroll() const { return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()); }
    QPointF viewportCentre() const { return QRectF(viewport()->rect()).center(); }
    QSize shownSize() const
    {
        return m_picture ? view::shownSize(m_picture->naturalSize(), m_turns, m_scale) : QSize();
    }

    // The picture scaled to the size it is shown at, made once per size: a
    // photo of millions of pixels is not scaled on every repaint. At 1:1 on
    // a screen of as many pixels it is the decoded picture itself.
    const QPixmap& drawn(QSize shown)
    {
        const qreal ratio = devicePixelRatioF();
        const QSize upright = view::turned(shown, m_turns) * ratio;
        const QImage& image = m_picture->image();
        if (m_drawn.isNull() || m_drawnFrom != image.cacheKey() || m_drawn.size() != upright) {
            // Beyond the decoded detail (a picture past its own size) Qt's
            // painter stretches it; the cache would only repeat the pixels.
            const QSize size = upright.width() > image.width() ? image.size() : upright;
            m_drawn = QPixmap::fromImage(
                size == image.size() ? image
                                     : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_drawn.setDevicePixelRatio(ratio);
            m_drawnFrom = image.cacheKey();
        }
        return m_drawn;
    }

    // Keeps the picture's point under `anchor` (viewport coordinates) where it is.
    void zoomTo(double scale, QPointF anchor)
    {
        if (!m_picture)
            return;
        const QSize before = shownSize();
        const QPointF corner = view::placement(before, viewport()->size(), scroll());
        const QPointF relative((anchor.x() - corner.x()) / before.width(),
                               (anchor.y() - corner.y()) / before.height());
        m_fit = false;
        m_scale = std::clamp(scale, view::kMinZoom, view::kMaxZoom);
        relayout();
        const QSize after = shownSize();
        horizontalScrollBar()->setValue(int(relative.x() * after.width() - anchor.x()));
        verticalScrollBar()->setValue(int(relative.y() * after.height() - anchor.y()));
    }

    void relayout()
    {
        if (!m_picture)
            return;
        if (m_fit)
            m_scale = view::fitScale(m_picture->naturalSize(), m_turns, viewport()->size());
        try {
            const BusyCursor busy;
            m_picture->prepare(m_scale, devicePixelRatioF());
        } catch (const PictureError&) {
            // Only a picture never decoded throws; the viewer decodes every
            // picture once before it shows it.
        }
        const QSize shown = shownSize();
        horizontalScrollBar()->setRange(0, std::max(0, shown.width() - viewport()->width()));
        verticalScrollBar()->setRange(0, std::max(0, shown.height() - viewport()->height()));
        horizontalScrollBar()->setPageStep(viewport()->width());
        verticalScrollBar()->setPageStep(viewport()->height());
        horizontalScrollBar()->setSingleStep(40);
        verticalScrollBar()->setSingleStep(40);
        viewport()->update();
        if (detailChanged)
            detailChanged();
    }

    ViewedPicture* m_picture = nullptr;
    double m_scale = 1.0;
    int m_turns = 0;
    bool m_fit = true;
    int m_wheel = 0;
    QPoint m_dragFrom;
    QPixmap m_drawn;
    qint64 m_drawnFrom = 0;
};

namespace {

QString captionOf(const PictureSource& source)
{
    if (!source.receipt.isEmpty())
        return QStringLiteral("查看图片 - 票据 %1：%2").arg(source.receipt, source.title);
    return QStringLiteral("查看图片 - %1").arg(QFileInfo(source.path).fileName());
}

QString pictureNameOf(const PictureSource& source)
{
    if (!source.receipt.isEmpty())
        return QStringLiteral("票据 %1 的图片：%2").arg(source.receipt, source.title);
    return QStringLiteral("图片：%1").arg(QFileInfo(source.path).fileName());
}

} // namespace

PictureViewer::PictureViewer(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("PictureViewer"));
    setWindowTitle(QStringLiteral("查看图片"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("PictureViewerTools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_view = new PictureView(this);
    m_view->setObjectName(QStringLiteral("PictureView"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("PictureNote"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->setContentsMargins(6, 4, 6, 4);
    m_note->hide();
    layout->addWidget(tools);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_note);

    // Each button says its key in its tip; the keys work wherever the focus is in the window.
    const auto add = [&](const QString& text, const QList<QKeySequence>& keys, auto handler) {
        QAction* action = tools->addAction(text, this, handler);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(
            QStringLiteral("%1 (%2)").arg(text, keys.constFirst().toString(QKeySequence::NativeText)));
        return action;
    };
    add(QStringLiteral("放大"), {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        [this] { zoomIn(); });
    add(QStringLiteral("缩小"), {QKeySequence::ZoomOut}, [this] { zoomOut(); });
    add(QStringLiteral("适合窗口/原始大小"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
        [this] { toggleOneToOne(); });
    add(QStringLiteral("向左旋转"), {QKeySequence(Qt::CTRL | Qt::Key_L)}, [this] { turn(-1); });
    add(QStringLiteral("向右旋转"), {QKeySequence(Qt::CTRL | Qt::Key_R)}, [this] { turn(1); });
    add(QStringLiteral("打印"), {QKeySequence::Print}, [this] { openPrintDialog(); });
    add(QStringLiteral("关闭"), {QKeySequence(Qt::Key_Escape)}, [this] { close(); });
    for (QAction* action : tools->actions())
        if (QWidget* button = tools->widgetForAction(action)) {
            button->setAccessibleName(action->text());
            button->setFocusPolicy(Qt::TabFocus);
        }

    m_view->detailChanged = [this] { updateNote(); };
    // The scroll area would page the picture with these keys; here they page the hits.
    for (const auto& [key, step] : {std::pair(Qt::Key_PageDown, 1), std::pair(Qt::Key_PageUp, -1)}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { turnPage(step); });
    }
}

PictureViewer::~PictureViewer() = default;

bool PictureViewer::showSource(const PictureSource& source)
{
    std::unique_ptr<ViewedPicture> picture;
    try {
        // Decoded once here for about the window's size, so that a file
        // that cannot be shown is known before anything changes.
        const BusyCursor busy;
        picture = std::make_unique<ViewedPicture>(source.path);
        const QSize room = m_picture ? m_view->viewport()->size() : QSize(1280, 900);
        picture->prepare(view::fitScale(picture->naturalSize(), 0, room), devicePixelRatioF());
    } catch (const PictureError& e) {
        m_dialogs.info(QStringLiteral("图片“%1”无法显示。\n%2").arg(source.path, e.message()));
        return false;
    }
    const bool first = !m_picture;
    m_source = source;
    m_picture = std::move(picture);
    setWindowTitle(captionOf(source));
    setAccessibleName(windowTitle());
    m_view->setAccessibleName(pictureNameOf(source));
    if (first) {
        // Sized to the picture at 1:1 within most of the screen; fitted after.
        const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 900);
        const QSize natural =
            m_picture->naturalSize() / (this->screen() ? this->screen()->devicePixelRatio() : 1.0);
        const QSize chrome(0, sizeHint().height());
        const QSize room = screen.size() * 9 / 10 - chrome;
        const QSize fitted = natural.width() <= room.width() && natural.height() <= room.height()
                                 ? natural
                                 : view::shownSize(natural, 0, view::fitScale(natural, 0, room));
        resize(fitted.expandedTo(QSize(480, 320)) + chrome);
        move(screen.center() - rect().center());
    }
    m_view->setPicture(m_picture.get());
    show();
    raise();
    activateWindow();
    m_view->setFocus();
    return true;
}

double PictureViewer::scale() const
{
    return m_view->scale();
}
int PictureViewer::quarterTurns() const
{
    return m_view->turns();
}
bool PictureViewer::fitted() const
{
    return m_view->fitted();
}
QString PictureViewer::note() const
{
    return m_note->text();
}

void PictureViewer::zoomIn()
{
    m_view->zoomBy(true);
}
void PictureViewer::zoomOut()
{
    m_view->zoomBy(false);
}
void PictureViewer::toggleOneToOne()
{
    m_view->setFitted(!m_view->fitted());
}
void PictureViewer::turn(int quarterTurns)
{
    m_view->turnBy(quarterTurns);
}

void PictureViewer::turnPage(int step)
{
    if (!m_pager)
        return;
    const std::optional<PictureSource> next = m_pager(step);
    if (!next)
        return;
    if (next->path.isEmpty()) {
        m_note->setText(QStringLiteral("这张票据没有可以显示的图片。"));
        m_note->show();
        return;
    }
    showSource(*next);
}

void PictureViewer::updateNote()
{
    const QString note = m_picture ? m_picture->note() : QString();
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

void PictureViewer::print(QPrinter& printer)
{
    if (!m_picture)
        return;
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    const int turns = m_view->turns();
    const QSize natural = m_picture->naturalSize();
    const double scale = view::fitScale(natural, turns, page.size());
    {
        // Printed with the detail the page has, then back to the screen's.
        const BusyCursor busy;
        m_picture->prepare(scale);
    }
    const QSize shown = view::shownSize(natural, turns, scale);
    painter.translate(view::placement(shown, page.size(), QPoint()));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(view::pictureTransform(m_picture->image().size(), turns, shown), true);
    painter.drawImage(QPointF(0, 0), m_picture->image());
    painter.end();
    m_picture->prepare(m_view->scale(), devicePixelRatioF());
    m_view->viewport()->update();
}

void PictureViewer::openPrintDialog()
{
    if (!m_picture)
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印图片"));
    if (dialog.exec() == QDialog::Accepted)
        print(printer);
}

} // namespace qb
