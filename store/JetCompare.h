#pragma once

#include <QString>

struct sqlite3;

namespace qb::jet {

// Text equality as the program's statements expect of "=": a fixed-width
// text column hands its values back padded with blanks, so trailing blanks
// do not count, and letters compare without regard to case, as in LIKE.
bool sameText(const QString& a, const QString& b);

// Rewrites each comparison of a column with a quoted text, "<name> = '<text>'",
// outside of any quoted text, into a call of the engine function that
// compares with sameText(). Everything else stays as it is. The statement
// the program reports keeps its own words; only the engine gets this form.
QString translateCondition(const QString& condition);

// Puts the function behind translateCondition() in place on a connection.
void installSameText(sqlite3* db);

} // namespace qb::jet
