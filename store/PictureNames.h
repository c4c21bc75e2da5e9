#pragma once

#include <QString>
#include <absl/container/flat_hash_set.h>
#include <string>
#include <string_view>

namespace qb {

class Connection;

// Which picture names the receipts use, read the way the display reads a
// stored name: trimmed. Answers come from the engine's index on the picture
// names. Questions about names that lie close together in the index's order
// (the numbers a new picture tries one after the other) are answered from
// one read of a stretch of the index, so that a store whose receipts name
// thousands of lost pictures in a row costs a few reads, not thousands.
//
// Names are compared as UTF-8 bytes; a stored value that is no valid UTF-8
// compares as the text the display makes of it. A value with a folder part
// names the file that the display reaches through it from the picture
// folder `pictureFolder` (with its trailing separator): "./00002.jpg" names
// 00002.jpg.
//
// An instance answers for the store (and the folders) as they were when
// asked; make one per decision, not one to keep.
class PictureNames
{
public:
    PictureNames(Connection& connection, QString pictureFolder)
        : m_connection(connection), m_folder(std::move(pictureFolder))
    {
    }

    // Whether some receipt names `name`. Throws StoreError when the store
    // cannot be read.
    bool named(const QString& name);
    // The same for a name in UTF-8, without a text of Qt's per question:
    // a free number may be looked for past a hundred thousand names.
    bool named(std::string_view utf8Name);

private:
    using NameSet = absl::flat_hash_set<std::string>;

    void readOddValues();
    void readStretchFrom(std::string_view from);

    Connection& m_connection;
    QString m_folder;
    // Values that sort apart from the name they trim to: those that start
    // with a blank or a control character, values that are no text, and the
    // names that values with a folder part reach.
    bool m_oddRead = false;
    NameSet m_odd;
    // The stretch of the index read last: every value from m_from up to
    // m_to (or to the end), trimmed.
    bool m_stretchRead = false;
    std::string m_from, m_to;
    bool m_toEnd = false;
    NameSet m_stretch;
    int m_stretchRows = 64;
};

} // namespace qb
