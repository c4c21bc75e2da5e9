#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// An image box: shows one picture stretched to the whole box, without
// keeping its aspect ratio. A picture larger than a screenful is kept at
// most twice the box's size (the screen's while the box has none), so a
// huge photo costs the box little memory and is never smoothly scaled at
// full size; the stretched copy is made once per size, so a photo is not
// rescaled on every repaint.
// What an image box shows, for whoever wants to show it larger: the file,
// and the receipt (number and title) when it is a stored receipt's picture.
// An empty path means a picture of no file of its own (the start picture).
struct PictureSource
{
    QString path;
    QString receipt;
    QString title;
};

class ImageBox : public QWidget
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    // Also forgets the source: a caller that shows a file names it after.
    void setPicture(const QImage& picture);
    void setSource(const PictureSource& source) { m_source = source; }
    const PictureSource& source() const { return m_source; }
    // The picture as kept: the one given, or its reduced copy.
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize keptLimit() const;

    QImage m_picture;
    QPixmap m_scaled;
    PictureSource m_source;
};
