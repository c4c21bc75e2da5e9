// The export of what a search found, beside its floors:
//   bench_export [receipts (default 1000)] [folder (default /tmp/tavrellquillbox-bench-export)]
// builds a store of that many receipts, each with a 12 MP JPEG photo of its
// own, then, in a fresh process so that the peak memory is the export's:
// `cp` of the picture folder (the floor of the pictures), the whole export
// (pictures, table, PDF), the PDF alone, and the scaled decode of one photo
// for a page (the floor of a page). The goal: the export within 1.5 times
// cp plus the PDF, and the peak memory under 300 MB whatever the count.
#include "app/export/ReceiptExport.h"
#include "picture/PictureLoader.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <cstdio>
#include <sys/resource.h>

using namespace qb;

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void row(const char* what, double ms, const QString& floor)
{
    std::printf("  %-34s %10.1f ms   %s\n", what, ms, qPrintable(floor));
    std::fflush(stdout);
}

// A photo-like 4000 × 3000 JPEG: gradients and noise, a few MB as a camera's are.
QByteArray photo()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(40));
            line[x] = qRgb((x / 16 + noise) & 255, (y / 12 + noise) & 255, ((x + y) / 28 + noise) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

void build(const QString& folder, int receipts)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "image");
    Connection::createDatabase(folder + schema::kStoreFileName, schema::kStorePassword);
    Connection connection;
    connection.open(folder + schema::kStoreFileName, schema::kStorePassword);
    connection.execute(schema::kCreateCategories);
    connection.execute(schema::kCreateReceipts);
    const QByteArray bytes = photo();
    connection.execute("begin");
    Statement insert(connection.handle(),
                     "insert into pj(类别, 票据标题, 说明, 图片) values (?1, ?2, ?3, ?4)");
    for (int n = 1; n <= receipts; ++n) {
        const QString name = QStringLiteral("%1.jpg").arg(n, 5, 10, QLatin1Char('0'));
        QFile file(folder + "image/" + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the pictures");
        insert.reset();
        insert.bind(1, QStringLiteral("出租车"));
        insert.bind(2, QStringLiteral("机场 %1").arg(n));
        insert.bind(3, QStringLiteral("夜间, 含过路费 \"%1\" 元").arg(n * 3));
        insert.bind(4, name);
        insert.step();
    }
    connection.execute("commit");
    std::printf("built %d receipts with 12 MP photos of %.1f MB each\n", receipts,
                double(bytes.size()) / 1e6);
    std::fflush(stdout);
}

void measure(const QString& folder, int receipts)
{
    Connection connection;
    connection.open(folder + schema::kStoreFileName, schema::kStorePassword);
    ExportSource source{&connection, folder + "image/", {}};
    for (int n = 1; n <= receipts; ++n)
        source.numbers.append(QString::number(n));
    const QString out = folder + "out/";
    QDir(out).removeRecursively();
    QDir().mkpath(out);

    QElapsedTimer t;
    t.start();
    QProcess::execute("cp", {"-r", folder + "image", out + "cp"});
    const double cp = double(t.nsecsElapsed()) / 1e6;
    QDir(out + "cp").removeRecursively();

    t.restart();
    const QImage one = loadPicture(folder + "image/00001.jpg", QSize(1063, 1476));
    const double decode = double(t.nsecsElapsed()) / 1e6;

    t.restart();
    {
        QPdfWriter pdf(out + "pages.pdf");
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        printReceipts(source, pdf, {});
    }
    const double pages = double(t.nsecsElapsed()) / 1e6;
    QFile::remove(out + "pages.pdf");

    t.restart();
    const ExportOutcome outcome = exportReceipts(source, out, "export", {});
    const double whole = double(t.nsecsElapsed()) / 1e6;

    std::printf("%d receipts exported to %s\n", outcome.exported, qPrintable(outcome.folder));
    row("floor: cp of the pictures", cp, "");
    row("export, all", whole,
        QStringLiteral("pictures and table (all − PDF alone) %1 ms = %2 × cp (goal ≤ 1.5)")
            .arg(whole - pages, 0, 'f', 0)
            .arg((whole - pages) / cp, 0, 'f', 2));
    row("PDF alone, per page", pages / receipts,
        QStringLiteral("floor: the photo's scaled decode %1 ms (%2 × %3)")
            .arg(decode, 0, 'f', 1)
            .arg(one.width())
            .arg(one.height()));
    std::printf("  %-34s %10.1f MB   goal < 300 MB\n", "peak memory", peakMegabytes());
    QDir(out).removeRecursively();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("Noto Serif CJK SC")});
    const QStringList args = app.arguments();
    if (args.value(1) == "--measure") {
        measure(args.value(2), args.value(3).toInt());
        return 0;
    }
    const int receipts = args.size() > 1 ? args.value(1).toInt() : 1000;
    QString folder = args.size() > 2 ? args.value(2) : QStringLiteral("/tmp/tavrellquillbox-bench-export");
    if (!folder.endsWith('/'))
        folder += '/';
    build(folder, receipts);
    // A fresh process, so that the peak memory is the export's own.
    return QProcess::execute(app.applicationFilePath(), {"--measure", folder, QString::number(receipts)});
}
