#pragma once

#include <QString>

struct sqlite3;

namespace qb::jet {

// Text equality as the program's statements expect of "=": one category
// key for both (categoryKey), so blanks and control characters at either
// end do not count, as the category list trims them, and letters compare
// without regard to case, as in LIKE.
bool sameText(const QString& a, const QString& b);

// Rewrites each comparison of a column with a quoted text, "<name> = '<text>'",
// outside of any quoted text, into a call of the engine function that
// compares with sameText(). A quoted text that holds a zero character is
// joined from pieces, since the engine would end the statement there.
// Everything else stays as it is. The statement the program reports keeps
// its own words; only the engine gets this form.
QString translateCondition(const QString& condition);

// The condition that compares the column `name` with `operand` (a quoted
// text or a parameter of the statement) as sameText() does.
QString sameTextCondition(const QString& name, const QString& operand);

// Puts the function behind translateCondition() in place on a connection.
void installSameText(sqlite3* db);

} // namespace qb::jet
