#pragma once

#include <QLabel>

// A label that reads as a link: its text underlined in the text's own
// colour. The underline is drawn inside the label, where a font's own
// underline would fall below a label no taller than its font size (as CJK
// fonts, with their tall line height, do in a 16-pixel label).
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
