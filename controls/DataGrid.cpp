#include "controls/DataGrid.h"

#include <QHeaderView>
#include <QKeyEvent>

// Whether Tab (or Shift+Tab when `next` is false) leaves the grid: the table
// would go round from the last cell to the first (or back), or it has no cell
// to go to. Tab enters a grid without a current cell at its first cell.
bool DataGrid::tabLeaves(bool next)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return !next || !moveCursor(MoveNext, Qt::NoModifier).isValid();
    const QModelIndex target = moveCursor(next ? MoveNext : MovePrevious, Qt::NoModifier);
    if (!target.isValid())
        return true;
    const int columns = model()->columnCount(rootIndex());
    const auto place = [&](const QModelIndex& index) {
        return qint64(verticalHeader()->visualIndex(index.row())) * columns +
               horizontalHeader()->visualIndex(index.column());
    };
    return next ? place(target) <= place(current) : place(target) >= place(current);
}

bool DataGrid::focusNextPrevChild(bool next)
{
    if (tabKeyNavigation() && model() && !tabLeaves(next))
        return QTableView::focusNextPrevChild(next);
    return QWidget::focusNextPrevChild(next);
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && modifiers & Qt::ControlModifier) {
        QWidget::focusNextPrevChild(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
        event->accept();
        return;
    }
    const bool choose = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (choose && !(modifiers & ~Qt::KeypadModifier) && currentIndex().isValid()) {
        // A key held down chooses once, as one click does.
        if (!event->isAutoRepeat())
            emit currentRowChosen();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
