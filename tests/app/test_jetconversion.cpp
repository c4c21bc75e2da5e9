#include "app/core/JetConversion.h"
#include "app/core/StoreBootstrap.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "tests/support/JetWriter.h"
#include "tests/support/TempFolder.h"
#include "util/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qb;
using namespace qb::test;

namespace {

// A table as rows of texts: a number in decimal, Null as an invalid QVariant.
using Rows = std::vector<std::vector<QVariant>>;

Rows expectedRows(const JetTable& table)
{
    Rows rows;
    for (const JetRow& row : table.rows) {
        if (row.deleted)
            continue;
        std::vector<QVariant> values;
        for (size_t i = 0; i < row.values.size(); ++i) {
            QVariant value = row.values[i];
            if (value.isValid() && table.columns[i].kind == JetColumn::FixedText)
                value = value.toString().leftJustified(table.columns[i].characters, u' ');
            const QList<uint> text = value.toString().toUcs4(); // an unpaired surrogate as U+FFFD
            values.push_back(
                value.isValid()
                    ? QVariant(QString::fromUcs4(reinterpret_cast<const char32_t*>(text.data()), text.size()))
                    : QVariant());
        }
        rows.push_back(values);
    }
    return rows;
}

std::string show(const Rows& rows)
{
    std::string out;
    for (const auto& row : rows) {
        for (const QVariant& value : row) {
            // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict)
            // about a chain of std::string additions.
            if (value.isValid())
                out.append("'").append(value.toString().left(40).toStdString()).append("' ");
            else
                out.append("Null ");
        }
        out += "\n";
        if (out.size() > 2000)
            return out + "...";
    }
    return out;
}

Rows storeRows(Connection& store, const QString& table)
{
    Rows rows;
    Statement select(store.handle(), QStringLiteral("select * from %1 order by rowid").arg(table));
    while (select.step()) {
        std::vector<QVariant> values;
        for (int i = 0; i < sqlite3_column_count(select.get()); ++i)
            values.push_back(sqlite3_column_type(select.get(), i) == SQLITE_NULL
                                 ? QVariant()
                                 : QVariant(QString::fromUtf8(reinterpret_cast<const char*>(select.text(i)),
                                                              select.bytes(i))));
        rows.push_back(values);
    }
    return rows;
}

// What mdb-export (libmdb's own tool) reads; it shows Null as an empty text.
Rows exportedRows(const QString& file, const QString& table)
{
    QProcess exporter;
    exporter.start(QStringLiteral("mdb-export"),
                   {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("\x1f"),
                    QStringLiteral("-R"), QStringLiteral("\x1e"), file, table});
    if (!exporter.waitForFinished(120'000) || exporter.exitCode() != 0)
        return {{QStringLiteral("<mdb-export failed>")}};
    Rows rows;
    QStringList lines = QString::fromUtf8(exporter.readAllStandardOutput()).split(u'\x1e');
    lines.removeLast(); // after the last row's end
    for (const QString& line : lines) {
        std::vector<QVariant> values;
        for (const QString& value : line.split(u'\x1f'))
            values.push_back(value);
        rows.push_back(values);
    }
    return rows;
}

Rows withoutNulls(Rows rows)
{
    for (auto& row : rows)
        for (QVariant& value : row)
            if (!value.isValid())
                value = QString();
    return rows;
}

// What the npm package mdb-reader reads, installed under the build folder
// by the set-up's test command.
QJsonObject mdbReaderDump(const QString& file)
{
    const QString folder = QStringLiteral(QB_NODE_FOLDER);
    QFile script(QStringLiteral(QB_SOURCE_DIR "/tests/support/mdb_reader_dump.mjs"));
    if (!QFile::exists(folder + QStringLiteral("/node_modules/mdb-reader/package.json")) ||
        !script.open(QIODevice::ReadOnly))
        return {{QStringLiteral("error"), QStringLiteral("mdb-reader is not installed in " QB_NODE_FOLDER
                                                         " (bash tools/setup.sh test installs it)")}};
    QProcess node;
    node.setWorkingDirectory(folder);
    node.start(QStringLiteral("node"), {QStringLiteral("--input-type=module"), QStringLiteral("-e"),
                                        QString::fromUtf8(script.readAll()), file, QStringLiteral("ml"),
                                        QStringLiteral("pj"), QStringLiteral("pass")});
    if (!node.waitForFinished(120'000) || node.exitCode() != 0)
        return {{QStringLiteral("error"), QString::fromUtf8(node.readAllStandardError())}};
    return QJsonDocument::fromJson(node.readAllStandardOutput()).object();
}

Rows jsonRows(const QJsonValue& table)
{
    Rows rows;
    for (const QJsonValue& row : table.toArray()) {
        std::vector<QVariant> values;
        for (const QJsonValue& value : row.toArray())
            values.push_back(value.isNull()     ? QVariant()
                             : value.isDouble() ? QVariant(QString::number(value.toInteger()))
                                                : QVariant(value.toString()));
        rows.push_back(values);
    }
    return rows;
}

QString converter()
{
    return programFolder().value_or(QString()) + kJetConverterName;
}

// The converter run by itself on `jet`, writing `store`: its exit code, or
// -1 when it did not end by itself.
int runConverter(const QString& jet, const QString& store)
{
    QProcess process;
    process.start(converter(), {jet, store});
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

JetRow receipt(int id, QVariant category, QVariant title, QVariant description, QVariant picture,
               bool deleted = false, bool moved = false)
{
    return {{id, category, title, description, picture}, deleted, moved};
}

struct JetCase
{
    const char* name;
    std::function<std::vector<JetTable>()> tables;
    // Done to the folder after the Jet store is written: what an earlier
    // start that was cut short left.
    std::function<void(const TempFolder&)> before = {};
    QString keptName = kKeptJetName;
    // The number the next new receipt gets, when the case says.
    long long nextReceipt = 0;
    // The readers that read the case as Jet does: libmdb turns what lies
    // outside UCS-2 into "??", cuts a text at U+0000, and both take a moved
    // row's flag for a deleted one.
    enum Readers { Both, MdbReaderOnly, Neither } readers = Both;
};

void PrintTo(const JetCase& c, std::ostream* out)
{
    *out << c.name;
}

std::vector<JetTable> fewReceipts()
{
    return {jetCategories({{{1, QStringLiteral("办公")}}, {{2, QStringLiteral("差旅")}}}),
            jetReceipts(
                {receipt(1, QStringLiteral("办公"), QStringLiteral("打印纸"), QStringLiteral("两箱，A4"),
                         QStringLiteral("00001.jpg")),
                 receipt(2, QStringLiteral("差旅"), QStringLiteral("火车票 北京—上海"),
                         QStringLiteral("第一行\r\n第二行 'quoted' \"double\""), QStringLiteral("00002.jpg")),
                 // A memo on one long-value page of its own.
                 receipt(3, QStringLiteral("办公"), QStringLiteral("长说明"),
                         QStringLiteral("单页说明").repeated(400), QStringLiteral("00003.jpg"))}),
            jetPasswords({{{QStringLiteral("NTgzOTIw")}}})};
}

std::vector<JetTable> manyReceipts()
{
    std::vector<JetRow> receipts;
    for (int id = 1; id <= 10'000; ++id) {
        // Every tenth description needs long-value pages of its own.
        const QString description =
            QStringLiteral("第%1张票据：购买办公用品、差旅报销。").arg(id).repeated(id % 10 == 0 ? 500 : 12);
        receipts.push_back(receipt(id, QStringLiteral("类别%1").arg(id % 37),
                                   QStringLiteral("票据标题 %1").arg(id), description,
                                   QStringLiteral("%1.jpg").arg(id, 5, 10, QChar(u'0'))));
    }
    return {jetCategories({{{1, QStringLiteral("类别")}}}), jetReceipts(std::move(receipts)),
            jetPasswords({{{QStringLiteral("MTIz")}}})};
}

class JetConversionTest : public ::testing::TestWithParam<JetCase>
{
};

// Every store the writer makes is read alike by libmdb's mdb-export and by
// mdb-reader; the converted store holds exactly those rows, numbers and
// Nulls included; the Jet file is kept untouched beside it.
TEST_P(JetConversionTest, ConvertsEveryRowAsBothReadersReadIt)
{
    const JetCase& c = GetParam();
    TempFolder folder;
    const std::vector<JetTable> tables = c.tables();
    const QByteArray jet = writeJet4(tables, schema::kStorePassword);
    const QString jetCopy = folder.write(QStringLiteral("copy.mdb"), jet);
    folder.write(schema::kStoreFileName, jet);
    if (c.before)
        c.before(folder);

    const QJsonObject read = c.readers == JetCase::Neither ? QJsonObject() : mdbReaderDump(jetCopy);
    ASSERT_FALSE(read.contains(QStringLiteral("error")))
        << read.value(QStringLiteral("error")).toString().toStdString();
    for (const JetTable& table : c.readers == JetCase::Neither ? std::vector<JetTable>() : tables) {
        const Rows expected = expectedRows(table);
        EXPECT_EQ(read.value(QStringLiteral("password")).toString(), schema::kStorePassword);
        EXPECT_EQ(jsonRows(read.value(table.name)), expected) << "mdb-reader, " << table.name.toStdString();
        if (c.readers == JetCase::Both) {
            EXPECT_EQ(exportedRows(jetCopy, table.name), withoutNulls(expected))
                << "mdb-export, " << table.name.toStdString() << "\n"
                << show(exportedRows(jetCopy, table.name));
        }
    }

    long long reported = -1;
    const JetConversion conversion =
        convertJetStore(folder.path(), converter(), [&](long long done, long long) { reported = done; });
    ASSERT_EQ(conversion.outcome, JetConversion::Converted);
    long long receipts = 0;
    for (const JetRow& row : tables[1].rows)
        receipts += row.deleted ? 0 : 1;
    EXPECT_EQ(conversion.receipts, receipts);
    EXPECT_EQ(reported, receipts);
    EXPECT_EQ(conversion.categories, qsizetype(expectedRows(tables[0]).size()));
    EXPECT_EQ(conversion.jetPath, folder.file(c.keptName));

    QFile kept(folder.file(c.keptName));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll() == jet) << "the Jet file is kept as it was";

    Connection store;
    store.open(folder.file(schema::kStoreFileName), schema::kStorePassword);
    for (const JetTable& table : tables)
        EXPECT_EQ(storeRows(store, table.name), expectedRows(table)) << table.name.toStdString() << "\n"
                                                                     << show(storeRows(store, table.name));
    if (c.nextReceipt) {
        store.execute(QStringLiteral("insert into pj(类别) values('new')"));
        Statement last(store.handle(), QStringLiteral("select max(ID) from pj"));
        ASSERT_TRUE(last.step());
        EXPECT_EQ(last.integer(0), c.nextReceipt) << "a new receipt takes the number of a deleted one";
        store.execute(QStringLiteral("delete from pj where 类别 = 'new'"));
    }
    if (tables.size() < 3) {
        EXPECT_FALSE(store.hasTable(schema::kPasswords)) << "the login makes the password table";
    }
    store.close();

    // A second start finds a store of its own and converts nothing.
    EXPECT_EQ(convertJetStore(folder.path(), converter(), [](long long, long long) {}).outcome,
              JetConversion::NotJet);
    // Nothing but the store, the kept Jet file and what the test put there.
    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.size(), c.keptName == kKeptJetName ? 3 : 4) << left.join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Stores, JetConversionTest,
    ::testing::Values(
        JetCase{"empty store",
                [] {
                    return std::vector<JetTable>{jetCategories({}), jetReceipts({})};
                }},
        JetCase{"a few receipts", fewReceipts},
        JetCase{"10,000 receipts with long Chinese descriptions", manyReceipts},
        JetCase{"gaps in the numbers, deleted receipts still on their page",
                [] {
                    return std::vector<JetTable>{
                        jetCategories({{{3, QStringLiteral("甲")}}, {{4, QStringLiteral("乙")}, true}}),
                        jetReceipts({receipt(2, QStringLiteral("甲"), QStringLiteral("a"),
                                             QStringLiteral("x"), QStringLiteral("1.jpg")),
                                     receipt(3, QStringLiteral("甲"), QStringLiteral("b"),
                                             QStringLiteral("y"), QStringLiteral("2.jpg"), true),
                                     receipt(70000, QStringLiteral("乙"), QStringLiteral("c"),
                                             QStringLiteral("z"), QStringLiteral("3.jpg")),
                                     receipt(70001, QStringLiteral("乙"), QStringLiteral("d"),
                                             QStringLiteral("w"), QStringLiteral("4.jpg"), true)})};
                },
                {},
                kKeptJetName,
                70002,
                JetCase::Neither},
        JetCase{.name = "characters outside the BMP, U+0000 inside a text, compressed texts",
                .tables =
                    [] {
                        const QString nul = QStringLiteral("类别%1后半").arg(QChar(0));
                        return std::vector<JetTable>{
                            jetCategories({{{1, QStringLiteral("𠮷野家")}}, {{2, nul}}}),
                            jetReceipts(
                                {receipt(1, QStringLiteral("𠮷野家"), QStringLiteral("😀 票据"),
                                         QStringLiteral("Receipt 说明 𠮷 ok"), QStringLiteral("1.jpg")),
                                 receipt(2, nul, nul, QStringLiteral("票据𠮷 ").repeated(1500), nul)},
                                true)};
                    },
                .readers = JetCase::MdbReaderOnly},
        JetCase{.name = "rows moved to another page, some deleted since",
                .tables =
                    [] {
                        const QString lone = QStringLiteral("a%1b%2").arg(QChar(0xd800), QChar(0xdc00));
                        return std::vector<JetTable>{
                            jetCategories(
                                {{{1, QStringLiteral("甲")}, false, true}, {{2, lone}, true, true}}),
                            jetReceipts({receipt(1, lone, lone, lone, lone),
                                         receipt(2, QStringLiteral("甲"), QStringLiteral("b"),
                                                 QStringLiteral("长").repeated(3000), QStringLiteral("2.jpg"),
                                                 false, true),
                                         receipt(3, lone, lone, lone, lone, true, true),
                                         receipt(4, lone, lone, lone, lone, true)})};
                    },
                .readers = JetCase::Neither},
        JetCase{"padded, empty and Null values",
                [] {
                    return std::vector<JetTable>{
                        jetCategories({{{1, QVariant()}}, {{2, QStringLiteral("  前后有空格  ")}}}),
                        jetReceipts(
                            {receipt(1, QVariant(), QVariant(), QVariant(), QVariant()),
                             receipt(2, QStringLiteral(""), QStringLiteral(" t "), QStringLiteral(""),
                                     QStringLiteral("")),
                             receipt(3, QStringLiteral("五十个字").repeated(12) + QStringLiteral("满了"),
                                     QStringLiteral("0123"), QStringLiteral("0123"), QStringLiteral("x"))}),
                        jetPasswords({{{QVariant()}}})};
                }},
        JetCase{"two rows in the password table",
                [] {
                    return std::vector<JetTable>{
                        jetCategories({}), jetReceipts({}),
                        jetPasswords({{{QStringLiteral("MTIz")}}, {{QStringLiteral("NDU2")}}})};
                }},
        JetCase{"an earlier start was cut short after keeping the Jet file", fewReceipts,
                [](const TempFolder& f) {
                    ASSERT_EQ(::link(QFile::encodeName(f.file(schema::kStoreFileName)).constData(),
                                     QFile::encodeName(f.file(kKeptJetName)).constData()),
                              0);
                }},
        JetCase{"another file holds the kept name already", fewReceipts,
                [](const TempFolder& f) { f.write(kKeptJetName, "someone else's file"); },
                kKeptJetName + QStringLiteral("-2")},
        JetCase{
            "a symbolic link to the store holds the kept name", fewReceipts,
            [](const TempFolder& f) { QFile::link(f.file(schema::kStoreFileName), f.file(kKeptJetName)); },
            kKeptJetName + QStringLiteral("-2")}),
    [](const ::testing::TestParamInfo<JetCase>& info) { return "case" + std::to_string(info.index); });

// A Jet file that cannot be read is refused and left as it was; the program
// then meets a store it cannot read, and writes nothing to it.
TEST(JetConversionRefusal, DamagedFileIsLeftUntouched)
{
    const QByteArray whole = writeJet4(fewReceipts(), schema::kStorePassword);
    // 40 receipts, the last with a memo on five long-value pages (5 to 9)
    // that come before the data pages; the first memo lies in its row.
    std::vector<JetRow> rows;
    for (int id = 1; id <= 40; ++id)
        rows.push_back(
            receipt(id, QStringLiteral("类别"), QStringLiteral("标题"),
                    id == 40 ? QStringLiteral("长说明").repeated(3000) : QStringLiteral("说明%1").arg(id),
                    QStringLiteral("p.jpg")));
    const QByteArray sound =
        writeJet4({jetCategories({}), jetReceipts(std::move(rows))}, schema::kStorePassword);
    QByteArray lengthClaimed = sound;
    const QString first = QStringLiteral("说明1");
    const qsizetype memo =
        lengthClaimed.indexOf(QByteArray(reinterpret_cast<const char*>(first.utf16()), 6)) - 12;
    ASSERT_GE(memo, 0);
    lengthClaimed.replace(memo, 4, QByteArray("\xff\xff\xff\xbf", 4));
    QByteArray looping = sound; // the memo's last piece names its first
    const int lastPiece = 9 * 4096;
    const int pieceStart = (uchar(looping[lastPiece + 14]) | uchar(looping[lastPiece + 15]) << 8) & 0x1fff;
    looping.replace(lastPiece + pieceStart, 4, QByteArray("\0\x05\0\0", 4));
    QByteArray selfLinked = sound; // the receipt table's definition goes on in itself
    selfLinked.replace(4 * 4096 + 4, 4, QByteArray("\x04\0\0\0", 4));
    const std::vector<QByteArray> damaged = {
        sound.left(sound.size() / 2),
        selfLinked,
        sound.left(sound.size() - 4096), // the last receipts' page
        sound.left(4 * 4096),
        lengthClaimed,
        looping,
        whole.left(4096),                                                      // cut after the header page
        whole.left(2 * 4096) + QByteArray(4096, '\xff') + whole.mid(3 * 4096), // catalog overwritten
        whole.left(19) + QByteArray(4096 - 19, '\0'),                          // signature, then nothing
        // One receipt number twice, which a table keyed by it cannot hold.
        writeJet4({jetCategories({}), jetReceipts({receipt(5, QStringLiteral("a"), QStringLiteral("b"),
                                                           QVariant(), QStringLiteral("1.jpg")),
                                                   receipt(5, QStringLiteral("c"), QStringLiteral("d"),
                                                           QVariant(), QStringLiteral("2.jpg"))})},
                  schema::kStorePassword),
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        const QByteArray& jet = damaged[i];
        TempFolder folder;
        const QString path = folder.write(schema::kStoreFileName, jet);
        const JetConversion conversion =
            convertJetStore(folder.path(), converter(), [](long long, long long) {});
        EXPECT_EQ(conversion.outcome, JetConversion::Unreadable) << "damaged file " << i;
        EXPECT_TRUE(conversionMessage(conversion).contains(QStringLiteral("该文件未作任何改动")));

        Connection connection;
        RecordSet receipts;
        RecordSet categories;
        receipts.setConnection(&connection);
        categories.setConnection(&connection);
        bootstrapStore(folder.path(), connection, receipts, categories);
        EXPECT_FALSE(receipts.active());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == jet) << "the Jet file was written to";
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{schema::kStoreFileName});
    }
}

// Each way the converter can end, played by a stand-in script ($1 the Jet
// file, $2 the new store's temporary name), gives its own outcome; none
// leaves anything in the folder but pj.db, and only another start's store
// takes the Jet file's place.
TEST(JetConversionRefusal, EachEndOfTheConverterHasItsOutcome)
{
    // Another start puts its store in place and frees the lock that the test holds for it.
    const QByteArray header =
        "#!/bin/sh\nprintf x > \"$2\"\nanother() { printf new > \"$1-\"; mv \"$1-\" \"$1\"; rm \"${1%" +
        schema::kStoreFileName.toUtf8() + "}" + kConversionLockName.toUtf8() + "\"; }\n";
    const std::pair<const char*, JetConversion::Outcome> ends[] = {
        {"exit 2", JetConversion::Unreadable},
        {"echo converted 1 1; exit 3", JetConversion::NotWritten},
        {"exit 4", JetConversion::NotReceiptStore},
        {"kill -9 $$", JetConversion::Unreadable},
        {"exec sleep 30", JetConversion::Unreadable}, // past the limit
        {"", JetConversion::NotWritten},              // cannot be started
        {"another \"$1\"; echo converted 0 0", JetConversion::NotJet},
        {"(sleep 0.5; another \"$1\") >/dev/null & echo converted 0 0", JetConversion::NotJet},
    };
    const QByteArray jet = writeJet4(fewReceipts(), schema::kStorePassword);
    for (const auto& [script, outcome] : ends) {
        TempFolder folder;
        TempFolder tools;
        const QString store = folder.write(schema::kStoreFileName, jet);
        const QString converter = tools.write(QStringLiteral("converter"), header + script);
        QFile::setPermissions(converter, QFile::ReadOwner | (*script ? QFile::ExeOwner : QFile::ReadOwner));
        QLockFile peer(folder.file(kConversionLockName));
        ASSERT_TRUE(peer.tryLock());
        const JetConversion conversion = convertJetStore(
            folder.path(), converter, [](long long, long long) {}, std::chrono::seconds(2));
        peer.unlock();
        EXPECT_EQ(conversion.outcome, outcome) << script;
        EXPECT_EQ(conversionMessage(conversion).isEmpty(), outcome == JetConversion::NotJet);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{schema::kStoreFileName});
        QFile left(store);
        ASSERT_TRUE(left.open(QIODevice::ReadOnly));
        EXPECT_EQ(left.readAll(), outcome == JetConversion::NotJet ? "new" : jet) << script;
    }
}

// Randomly damaged stores: each is either converted or refused as unreadable
// (never blamed on the new store), and a refused one is left as it was.
TEST(JetConversionRefusal, RandomDamageIsConvertedOrRefused)
{
    std::vector<JetRow> rows;
    for (int id = 1; id <= 300; ++id)
        rows.push_back(receipt(id, QStringLiteral("类别"), QStringLiteral("标题%1").arg(id),
                               QStringLiteral("说明").repeated(id % 7 == 0 ? 900 : 5),
                               QStringLiteral("p.jpg")));
    const QByteArray whole =
        writeJet4({jetCategories({}), jetReceipts(std::move(rows))}, schema::kStorePassword);
    const qsizetype described = 300 / 7 * 1800 + (300 - 300 / 7) * 10;
    QRandomGenerator random(1);
    int refused = 0;
#if defined(__SANITIZE_ADDRESS__)
    const int trials = 12; // each converter start takes seconds there
#else
    const int trials = 60;
#endif
    for (int trial = 0; trial < trials; ++trial) {
        QByteArray jet = whole;
        const int flips = 1 << (2 * int(random.bounded(4)));
        for (int i = 0; i < flips; ++i)
            jet[int(random.bounded(4096, int(jet.size())))] = char(random.bounded(256));
        TempFolder folder;
        const QString path = folder.write(schema::kStoreFileName, jet);
        const int exit = runConverter(path, folder.file(QStringLiteral("new.db")));
        ASSERT_TRUE(exit == 0 || exit == 2 || exit == 4) << "trial " << trial << ": exit " << exit;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.readAll() == jet) << "trial " << trial << ": the Jet file was changed";
        refused += exit == 0 ? 0 : 1;
        if (exit != 0)
            continue;
        // Converted: every receipt, every description whole.
        Connection store;
        store.open(folder.file(QStringLiteral("new.db")), schema::kStorePassword);
        Statement count(store.handle(), QStringLiteral("select count(*), total(length(说明)) from pj"));
        ASSERT_TRUE(count.step());
        EXPECT_EQ(count.integer(0), 300) << "trial " << trial;
        EXPECT_EQ(qsizetype(sqlite3_column_double(count.get(), 1)), described) << "trial " << trial;
    }
    std::printf("%d of %d damaged stores refused\n", refused, trials);
}

// A Jet file without the receipt table, or with one of other columns, is
// not a store of the old program: the converter says so and writes nothing.
TEST(JetConversionRefusal, FileWithoutReceiptTableWritesNothing)
{
    JetTable fourColumns = jetReceipts({});
    fourColumns.columns.pop_back();
    JetTable customers{QStringLiteral("Customers"), {{QStringLiteral("ID"), JetColumn::Counter}}, {{{1}}}};
    for (const auto& tables :
         {std::vector<JetTable>{customers}, std::vector<JetTable>{jetCategories({}), fourColumns}}) {
        TempFolder folder;
        const QString path =
            folder.write(QStringLiteral("other.mdb"), writeJet4(tables, schema::kStorePassword));
        EXPECT_EQ(runConverter(path, folder.file(QStringLiteral("new.db"))), 4);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("other.mdb")});
    }
}

TEST(JetSignature, OnlyTheJetAndAceSignaturesCount)
{
    const QByteArray start("\x00\x01\x00\x00", 4);
    EXPECT_TRUE(hasJetSignature(start + "Standard Jet DB"));
    EXPECT_TRUE(hasJetSignature(start + "Standard ACE DB\0"));
    EXPECT_FALSE(hasJetSignature(start + "Standard Jet D"));
    EXPECT_FALSE(hasJetSignature(QByteArray("\x01\x01\x00\x00", 4) + "Standard Jet DB"));
    EXPECT_FALSE(hasJetSignature("SQLite format 3\0abcd"));
}

} // namespace
