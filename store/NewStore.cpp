#include "store/NewStore.h"

#include "store/Connection.h"
#include "store/Schema.h"

#include <QString>

namespace qb {

namespace {
const QString* const kProgramIndexes[] = {&schema::kCreateNumberIndex, &schema::kCreatePictureIndex,
                                          &schema::kCreatePicturePathIndex};
} // namespace

void makeStoreTables(Connection& store)
{
    store.execute(schema::kCreateCategories);
    store.execute(schema::kCreateReceipts);
    for (const QString* index : kProgramIndexes)
        store.execute(*index);
}

void addProgramIndexes(Connection& store)
{
    for (const QString* index : kProgramIndexes) {
        try {
            store.execute(*index);
        } catch (...) {
            // Left out: see the header.
        }
    }
}

} // namespace qb
