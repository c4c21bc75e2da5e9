#include "controls/LinkLabel.h"

#include <QPainter>
#include <QStyle>

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (text().isEmpty())
        return;
    const QFontMetrics metrics = fontMetrics();
    const QRect area = contentsRect();
    // Where the text stands in the label, and the font's own underline
    // position below its baseline, kept inside the label.
    const QRect textRect = style()->itemTextRect(metrics, area, int(alignment()), isEnabled(), text());
    const int baseline = textRect.top() + metrics.ascent();
    const int width = std::max(1, metrics.lineWidth());
    const int y = std::min(baseline + metrics.underlinePos(), area.bottom() - width + 1);
    const int right = std::min(textRect.left() + metrics.horizontalAdvance(text()), area.right() + 1);
    QPainter painter(this);
    painter.fillRect(QRect(textRect.left(), y, right - textRect.left(), width),
                     palette().color(foregroundRole()));
}
