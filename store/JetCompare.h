#pragma once

#include <QString>

struct sqlite3;

namespace qb::jet {

// Text equality as the program's statements expect of "=": one category
// key for both (categoryKey), so blanks and control characters at either
// end do not count, as the category list trims them, and letters compare
// without regard to case, as in LIKE.
bool sameText(const QString& a, const QString& b);

// The condition that compares the column `name` with `operand` (a quoted
// text or a parameter of the statement) as sameText() does; a condition
// value's quoted "=" (Condition.h) goes to the engine in this form.
QString sameTextCondition(const QString& name, const QString& operand);

// Puts the function behind sameTextCondition() in place on a connection.
void installSameText(sqlite3* db);

} // namespace qb::jet
