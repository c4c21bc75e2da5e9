#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

namespace qb {

class Connection;

// Which picture names the receipts use, read the way the display reads a
// stored name: trimmed. Answers come from the engine's index on the picture
// names. Questions about names that lie close together in the index's order
// (the numbers a new picture tries one after the other) are answered from
// one read of a stretch of the index, so that a store whose receipts name
// thousands of lost pictures in a row costs a few reads, not thousands.
//
// An instance answers for the store as it was when asked; make one per
// decision, not one to keep.
class PictureNames
{
public:
    explicit PictureNames(Connection& connection) : m_connection(connection) {}

    // Whether some receipt names `name`. Throws StoreError when the store
    // cannot be read.
    bool named(const QString& name);

private:
    void readOddValues();
    void readStretchFrom(const QByteArray& from);

    Connection& m_connection;
    // Values that sort apart from the name they trim to: those that start
    // with a blank or a control character, and values that are no text.
    bool m_oddRead = false;
    QSet<QString> m_odd;
    // The stretch of the index read last: every value from m_from up to
    // m_to (or to the end), trimmed.
    bool m_stretchRead = false;
    QByteArray m_from, m_to;
    bool m_toEnd = false;
    QSet<QString> m_stretch;
    int m_stretchRows = 64;
};

} // namespace qb
