#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <exception>

namespace qb {

class RecordSet;

// Shows a record set in a grid: one column per field, titled with the field
// name, rows read from the record set only as the grid paints them. The
// record set's current row is marked in the indicator column, and every
// change of the record set reaches the grid.
class DataSource : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DataSource(RecordSet& dataSet, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    RecordSet& dataSet() const { return m_dataSet; }

    // Until the grid is first shown the model reports no rows, so that a
    // large record set is not counted at start-up for a page nobody opened.
    void setShowing(bool showing);

signals:
    // The record set's current row moved (by the program or by the grid).
    void currentRowChanged(int row);
    // A cell could not be read while the grid painted; sent after the paint.
    void readFailed(std::exception_ptr failure);

private:
    void resetAll();
    void markCurrent(int row);
    void readAhead();

    RecordSet& m_dataSet;
    int m_rows = 0;
    int m_markedRow = -1;
    bool m_showing = false;
    mutable bool m_readFailed = false;
    QTimer m_readAhead;
};

} // namespace qb
