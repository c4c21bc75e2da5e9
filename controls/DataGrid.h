#pragma once

#include <QTableView>

// A read-only grid of records with a current row. Tab moves from cell to cell,
// but after the last cell it goes on to the next control and Shift+Tab before
// the first cell to the previous one, instead of going round; Ctrl+Tab and
// Ctrl+Shift+Tab always leave the grid. So the keyboard is never caught in it.
// Enter or Space on the current row reports currentRowChosen, the keyboard's
// counterpart of a click on a cell, and does nothing else.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    using QTableView::QTableView;

signals:
    void currentRowChosen();

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool tabLeaves(bool next);
};
