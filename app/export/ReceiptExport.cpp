#include "app/export/ReceiptExport.h"

#include "app/export/ExportNames.h"
#include "app/export/ReceiptPage.h"
#include "util/FileClaim.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QStorageInfo>
#include <cerrno>

namespace qb {

namespace {

const QString kTemporaryPrefix = QStringLiteral(".票据导出-");
const QString kTemporarySuffix = QStringLiteral(".part");

// The folder an export is written in until it is whole; removed with
// everything in it unless the export claimed its name.
class WorkFolder
{
public:
    explicit WorkFolder(const QString& target)
        : m_path(temporaryName(target, kTemporaryPrefix, kTemporarySuffix))
    {
        if (!QDir().mkdir(m_path))
            throw ExportError(
                QStringLiteral("无法在“%1”中建立导出文件夹，请选择一个可以写入的文件夹。").arg(target));
    }
    ~WorkFolder()
    {
        if (!m_claimed)
            QDir(m_path).removeRecursively();
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    QString path() const { return m_path; }
    QString file(const QString& name) const { return m_path + QDir::separator() + name; }
    void claimed() { m_claimed = true; }

private:
    QString m_path;
    bool m_claimed = false;
};

// The failure of a write into the export, told while the written part is
// still there, so that a full disk can be told from other causes.
[[noreturn]] void failedToWrite(const WorkFolder& work, const QString& name)
{
    const QStorageInfo storage(work.path());
    const bool full = errno == ENOSPC || (storage.isValid() && storage.bytesAvailable() < 64 * 1024);
    throw ExportError(
        full ? QStringLiteral("磁盘空间不足，无法写入“%1”。导出没有完成，没有留下任何文件。").arg(name)
             : QStringLiteral("无法写入“%1”。导出没有完成，没有留下任何文件。").arg(name));
}

void writeAll(QFile& file, const QByteArray& bytes, const WorkFolder& work, const QString& name)
{
    if (file.write(bytes) != bytes.size())
        failedToWrite(work, name);
}

// What became of a receipt's picture file in the export.
struct CopiedPicture
{
    QString name;    // the copy's name in the export, empty when none
    QString problem; // why there is none
};

// Copies the picture byte for byte under a name its content calls for.
CopiedPicture copyPicture(const ReceiptSheet& sheet, const WorkFolder& work, UniqueNames& names)
{
    if (sheet.pictureName.isEmpty() || !QFileInfo(sheet.picturePath).isFile())
        return {QString(), QStringLiteral("（图片丢失）")};
    QFile source(sheet.picturePath);
    if (!source.open(QIODevice::ReadOnly))
        return {QString(), QStringLiteral("（图片无法读取）")};
    QByteArray chunk = source.read(1 << 20);
    const QString name = names.take(exportedPictureBase(sheet.number, sheet.category, sheet.title),
                                    trueExtension(chunk.left(64), sheet.pictureName));
    QFile copy(work.file(name));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        failedToWrite(work, name);
    while (!chunk.isEmpty()) {
        writeAll(copy, chunk, work, name);
        chunk = source.read(1 << 20);
    }
    if (source.error() != QFileDevice::NoError) {
        copy.remove();
        return {QString(), QStringLiteral("（图片无法读取）")};
    }
    if (!copy.flush())
        failedToWrite(work, name);
    return {name, QString()};
}

QByteArray csvRow(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted.append(csvField(field));
    return quoted.join(u',').toUtf8() + "\r\n";
}

// Walks the receipts in the order of the result lines, skipping those that
// are gone; `each` gets the receipt. False when the walk was cancelled.
bool forEachSheet(const ExportSource& source, const ExportProgress& progress, int* gone,
                  const std::function<void(const ReceiptSheet&)>& each)
{
    const int total = int(source.numbers.size());
    for (int i = 0; i < total; ++i) {
        if (auto sheet = readReceiptSheet(*source.connection, source.pictureFolder, source.numbers.at(i)))
            each(*sheet);
        else
            ++*gone;
        if (progress && !progress(i + 1, total))
            return false;
    }
    return true;
}

void preparePdf(QPdfWriter& writer)
{
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(300);
    writer.setCreator(QStringLiteral("TavrellQuillbox"));
    writer.setTitle(QStringLiteral("票据"));
}

} // namespace

QString csvField(const QString& text)
{
    QString field = text;
    field.replace(QChar(u'\0'), QChar(0xFFFD));
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n') && !field.contains(u'\r'))
        return field;
    field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

ExportOutcome exportReceipts(const ExportSource& source, const QString& target, const QString& folderName,
                             const ExportProgress& progress)
{
    WorkFolder work(target);
    UniqueNames names;
    names.reserve(kExportTableName);
    names.reserve(kExportPdfName);

    QFile table(work.file(kExportTableName));
    if (!table.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        failedToWrite(work, kExportTableName);
    // The byte-order mark tells spreadsheet programs on Windows that it is UTF-8.
    writeAll(table,
             QByteArray("\xEF\xBB\xBF") +
                 csvRow({QStringLiteral("编号"), QStringLiteral("类别"), QStringLiteral("票据标题"),
                         QStringLiteral("说明"), QStringLiteral("图片文件")}),
             work, kExportTableName);

    // The writer is given a file of ours, so that a failed write is seen.
    QFile pdfFile(work.file(kExportPdfName));
    if (!pdfFile.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        failedToWrite(work, kExportPdfName);
    QPdfWriter pdf(&pdfFile);
    preparePdf(pdf);
    QPainter painter;
    if (!painter.begin(&pdf))
        failedToWrite(work, kExportPdfName);

    ExportOutcome outcome;
    bool first = true;
    const bool whole = forEachSheet(source, progress, &outcome.gone, [&](const ReceiptSheet& sheet) {
        const CopiedPicture copied = copyPicture(sheet, work, names);
        const PagePicture picture = loadPagePicture(sheet, pdf);
        QString pictureCell = copied.name.isEmpty() ? copied.problem : copied.name;
        if (!copied.name.isEmpty() && picture.image.isNull())
            pictureCell += QStringLiteral("（图片无法显示）");
        writeAll(table, csvRow({sheet.number, sheet.category, sheet.title, sheet.description, pictureCell}),
                 work, kExportTableName);
        if (!first)
            pdf.newPage();
        first = false;
        paintReceiptPage(painter, sheet, picture);
        if (pdfFile.error() != QFileDevice::NoError)
            failedToWrite(work, kExportPdfName);
        ++outcome.exported;
    });
    if (!whole) {
        painter.end();
        return ExportOutcome{};
    }
    painter.end();
    if (!table.flush() || table.error() != QFileDevice::NoError)
        failedToWrite(work, kExportTableName);
    if (!pdfFile.flush() || pdfFile.error() != QFileDevice::NoError)
        failedToWrite(work, kExportPdfName);
    table.close();
    pdfFile.close();

    // The whole export takes its name in one step; a name taken already
    // (an export of the same search on the same day) is left alone.
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? folderName : QStringLiteral("%1 (%2)").arg(folderName).arg(n);
        const QString path = QDir(target).filePath(name);
        const int error = moveWithoutReplacing(work.path(), path);
        if (error == 0) {
            work.claimed();
            outcome.folder = path;
            return outcome;
        }
        if (error != EEXIST && error != ENOTEMPTY)
            throw ExportError(
                QStringLiteral("无法把导出文件夹命名为“%1”。导出没有完成，没有留下任何文件。").arg(name));
    }
}

int printReceipts(const ExportSource& source, QPagedPaintDevice& device, const ExportProgress& progress)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw ExportError(QStringLiteral("无法开始打印，请检查打印机。"));
    int printed = 0;
    int gone = 0;
    const bool whole = forEachSheet(source, progress, &gone, [&](const ReceiptSheet& sheet) {
        if (printed > 0)
            device.newPage();
        paintReceiptPage(painter, sheet, loadPagePicture(sheet, device));
        ++printed;
    });
    painter.end();
    return whole ? printed : -1;
}

} // namespace qb
