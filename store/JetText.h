#pragma once

#include <QString>

namespace qb::jet {

// The two values the program puts into a connection or catalog text.
struct ConnectionText
{
    QString dataSource;
    QString password;
};

// The connection text the program gives a connection for a store file and
// its password, both as they are, without quotes. It is reported, never
// parsed back.
QString connectionText(const QString& filePath, const QString& password);

// Reads "Data Source" and "Jet OLEDB:Database Password" from a text of
// "key=value" pairs separated by ";". Keys match ignoring case and the blanks
// around them; values are taken as they stand.
ConnectionText parseConnectionText(const QString& text);

// Rewrites the Jet column types of a CREATE or ALTER TABLE statement for the
// engine: "COUNTER PRIMARY KEY" becomes an auto-numbered key that never hands
// out a number twice, and "memo" a long text column ("LONGTEXT", which keeps
// text affinity, so "0123" stays "0123"). Other statements are returned as
// they are.
QString translateStatement(const QString& statement);

// The most characters a column declared with `declaredType` holds: 50 for
// "char(50)", 0 for no limit.
int declaredWidth(const QString& declaredType);

// Whether a declared type is Jet's long text (memo).
bool isLongText(const QString& declaredType);

} // namespace qb::jet
