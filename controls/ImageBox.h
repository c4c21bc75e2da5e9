#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// An image box: shows one picture stretched to the whole box, without
// keeping its aspect ratio. The stretched copy is made once per size, so a
// large photo is not rescaled on every repaint.
class ImageBox : public QWidget
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QPixmap m_scaled;
};
