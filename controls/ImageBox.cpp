#include "controls/ImageBox.h"

#include <QPainter>
#include <QScreen>

ImageBox::ImageBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

// Twice the box, or twice the screen while the box has no size yet.
QSize ImageBox::keptLimit() const
{
    QSize own = size() * devicePixelRatioF();
    if (own.isEmpty() && screen())
        own = screen()->size() * screen()->devicePixelRatio();
    return own.isEmpty() ? QSize(3840, 2160) : own * 2;
}

void ImageBox::setPicture(const QImage& picture)
{
    // A picture up to a screenful is kept as given: it is shared with the
    // caller (the start picture, for one), so a copy would only add to it.
    // A larger one is reduced on each axis on its own, since the box does
    // not keep the aspect ratio anyway; the fast reduction is enough, the
    // smooth stretch to the box follows when painting.
    constexpr qint64 sharedPixels = 4 * 1024 * 1024;
    const QSize limit = keptLimit();
    const QSize kept(qMin(picture.width(), limit.width()), qMin(picture.height(), limit.height()));
    m_picture = kept == picture.size() || qint64(picture.width()) * picture.height() <= sharedPixels
                    ? picture
                    : picture.scaled(kept, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    m_scaled = QPixmap();
    m_source = PictureSource();
    update();
}

void ImageBox::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    const QSize target = size() * devicePixelRatioF();
    if (m_scaled.size() != target)
        m_scaled =
            QPixmap::fromImage(m_picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QPainter painter(this);
    painter.drawPixmap(rect(), m_scaled);
}
