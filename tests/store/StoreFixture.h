#pragma once

#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/vorndata.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace qb::test {

inline const QString kStorePassword = QStringLiteral("kvqe");
inline const QString kReceiptsTable = QStringLiteral(
    "create table pj(ID  COUNTER   PRIMARY   KEY,类别 char(50),票据标题 char(50),说明 memo,图片 char(50))");
inline const QString kCategoriesTable =
    QStringLiteral("create table ml(ID  COUNTER   PRIMARY   KEY,类别 char(50))");

// A fresh encrypted store with the two tables, connected.
class StoreFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = folder.file(QStringLiteral("pj.db"));
        ASSERT_TRUE(vorndata::createDatabase(path, kStorePassword));
        ASSERT_TRUE(vorndata::connect(connection, path, kStorePassword));
        RecordSet ddl;
        ddl.setConnection(&connection);
        ASSERT_TRUE(vorndata::execute(ddl, kCategoriesTable));
        ASSERT_TRUE(vorndata::execute(ddl, kReceiptsTable));
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
            vorndata::openTable(query, QStringLiteral("pj"));
        }
        return query;
    }

    TempFolder folder;
    QString path;
    Connection connection;
    RecordSet query{QStringLiteral("ADOQuery1")};
};

} // namespace qb::test
