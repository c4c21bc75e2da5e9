// The index-walking answer to "does a receipt name this picture?" against
// the obvious one: every stored value, trimmed, opened as the display opens it.
#include "store/PictureNames.h"
#include "tests/store/StoreFixture.h"
#include "util/Trim.h"

#include <QDir>
#include <QRandomGenerator>
#include <sqlcipher/sqlite3.h>

namespace qb::test {
namespace {

class PictureNamesTest : public StoreFixture
{
protected:
    // Inserts `value` as the picture of a receipt: text, a blob, a number or Null.
    void insert(const QVariant& value)
    {
        sqlite3* db = connection.handle();
        sqlite3_stmt* q = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "insert into pj(图片) values(?)", -1, &q, nullptr), SQLITE_OK);
        if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray b = value.toByteArray();
            sqlite3_bind_blob(q, 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else if (value.typeId() == QMetaType::Int) {
            sqlite3_bind_int(q, 1, value.toInt());
        } else if (value.isValid()) {
            const QByteArray t = value.toString().toUtf8();
            sqlite3_bind_text(q, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
        ASSERT_EQ(sqlite3_step(q), SQLITE_DONE);
        sqlite3_finalize(q);
    }

    void insertBytes(const QByteArray& text)
    {
        sqlite3_stmt* q = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(connection.handle(), "insert into pj(图片) values(?)", -1, &q, nullptr),
                  SQLITE_OK);
        sqlite3_bind_text(q, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(q), SQLITE_DONE);
        sqlite3_finalize(q);
    }

    bool namedByEveryRow(const QString& name)
    {
        const QString file = QFileInfo(pictures + name).canonicalFilePath();
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(connection.handle(), "select 图片 from pj", -1, &q, nullptr);
        bool found = false;
        while (!found && sqlite3_step(q) == SQLITE_ROW)
            found =
                QFileInfo(pictures +
                          trimmed(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)),
                                                    sqlite3_column_bytes(q, 0))))
                    .canonicalFilePath() == file;
        sqlite3_finalize(q);
        return found;
    }

    QString pictures = folder.file("image/");
};

QString numbered(int n)
{
    return QStringLiteral("%1.jpg").arg(n, 5, 10, QChar(u'0'));
}

TEST_F(PictureNamesTest, AnswersAsTheTrimmedComparisonOfEveryStoredValue)
{
    QRandomGenerator random(2024);
    // A file for each name asked about, for the oracle to open; folder parts
    // that lead back into the picture folder, and some that do not.
    for (int n = 1; n <= 420; ++n)
        folder.write("image/" + numbered(n), "x");
    QDir().mkpath(pictures + "sub");
    QFile::link(".", pictures + "self");
    QFile::link("/", pictures + "away");
    const QStringList ways{"./", "sub/../", "nosuch/../", "/", "../image/", "self/", "sub/", "away/../"};
    sqlite3_exec(connection.handle(), "begin", nullptr, nullptr, nullptr);
    for (int i = 0; i < 600; ++i) {
        const QString name = numbered(int(random.bounded(1, 400)));
        switch (random.bounded(11)) {
        case 0:
            insert(u' ' + name);
            break;
        case 1:
            insert(name + QStringLiteral("  "));
            break;
        case 2:
            insert(QChar(1) + name + u'\t');
            break;
        case 3:
            insert(name + QStringLiteral("\x01x"));
            break; // trims to no picture name
        case 4:
            insert(name.toUtf8());
            break; // a blob
        case 5:
            insert(int(random.bounded(1, 400)));
            break;
        case 6:
            insert(QVariant());
            break;
        case 7:
            insertBytes("\xff" + name.toUtf8() + "\xc3");
            break; // no UTF-8: shown with replacement characters
        case 8:
            insert(ways[random.bounded(ways.size())] + name + u' ');
            break;
        default:
            insert(name);
            break;
        }
    }
    // More values that start with a name and are not it than one read of
    // the index holds, then the name padded.
    for (int i = 0; i < 200; ++i)
        insert(numbered(7) + QStringLiteral("\x01-%1").arg(i));
    insert(numbered(7) + u' ');
    sqlite3_exec(connection.handle(), "commit", nullptr, nullptr, nullptr);

    // The way a free number is looked for: one reader, names in order.
    PictureNames walking(connection, pictures);
    for (int n = 1; n <= 420; ++n)
        ASSERT_EQ(walking.named(numbered(n)), namedByEveryRow(numbered(n))) << "in order: " << n;
    // And one question at a time, anywhere.
    PictureNames jumping(connection, pictures);
    for (int i = 0; i < 300; ++i) {
        const QString name = numbered(int(random.bounded(1, 420)));
        ASSERT_EQ(jumping.named(name), namedByEveryRow(name)) << "jumping: " << name.toStdString();
        ASSERT_EQ(PictureNames(connection, pictures).named(name), namedByEveryRow(name))
            << name.toStdString();
    }
}

} // namespace
} // namespace qb::test
