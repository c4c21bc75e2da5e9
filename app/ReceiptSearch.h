#pragma once

#include <QString>
#include <optional>

namespace qb {

// The search rule: the condition on the receipts that the search page's
// category and text make. A category finds the receipts filed under it; a
// text finds those whose title or description holds it as typed ("%" and "_"
// in it are no wildcards); both find the receipts that meet both; neither
// lists every receipt, which has no condition.
std::optional<QString> searchCondition(const QString& category, const QString& text);

// The condition that finds one receipt by its number, as a result line
// starts with it.
QString receiptNumberCondition(const QString& number);

} // namespace qb
