#include "controls/ImageBox.h"

#include <QPainter>

ImageBox::ImageBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    m_scaled = QPixmap();
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
