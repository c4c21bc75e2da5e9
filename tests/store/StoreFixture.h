#pragma once

#include "store/Connection.h"
#include "store/NewStore.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace qb::test {

using schema::kStorePassword;

// A fresh encrypted store made as the program makes one, connected.
class StoreFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = folder.file(QStringLiteral("pj.db"));
        ASSERT_TRUE(vorndata::createDatabase(path, kStorePassword));
        ASSERT_TRUE(vorndata::connect(connection, path, kStorePassword));
        ASSERT_NO_THROW(makeStoreTables(connection));
    }

    void addReceipt(const QString& category, const QString& title, const QString& text,
                    const QString& picture)
    {
        receipts().appendRecord({std::nullopt, category, title, text, picture});
    }

    RecordSet& receipts()
    {
        if (!query.active()) {
            query.setConnection(&connection);
            vorndata::openTable(query, schema::kReceipts);
        }
        return query;
    }

    TempFolder folder;
    QString path;
    Connection connection;
    RecordSet query{QStringLiteral("ADOQuery1")};
};

} // namespace qb::test
