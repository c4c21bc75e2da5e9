#pragma once

#include "store/Condition.h"
#include "store/FoundReceipts.h"
#include "util/TextLines.h"

#include <QString>
#include <optional>

namespace qb {

class Connection;
class ReceiptIndex;

// The search rule: the condition on the receipts that the search page's
// category and text make. A category finds the receipts filed under it; a
// text finds those whose title or description holds it as typed ("%" and "_"
// in it are no wildcards); both find the receipts that meet both; neither
// lists every receipt, which has no condition.
std::optional<Condition> searchCondition(const QString& category, const QString& text);

// The condition that finds one receipt by its number, as a result line
// starts with it.
Condition receiptNumberCondition(const QString& number);

// The search's result lines, "<number>|<trimmed title>" in number order:
// from the copy in memory, or, when that cannot be had, from the store by
// the search's statement (whose failure then goes to the caller).
FoundReceipts findReceipts(ReceiptIndex& index, Connection& connection, const QString& category,
                           const QString& text);

// The same lines read by the search's statement, a scan of the whole store.
TextLines scanForReceipts(Connection& connection, const QString& category, const QString& text);

// Whether the categories table holds `category`, compared as the category
// list, the search and the receipts' copy compare categories (categoryKey):
// a category that is not there gets its row.
bool categoryFiled(Connection& connection, const QString& category);

} // namespace qb
