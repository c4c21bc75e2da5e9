// The portable half of the platform interface (Platform.h): Qt and the C++
// standard library only. Each promise it cannot keep is named in Platform.h.
#include "util/platform/Platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace qb::platform {

const bool kLinux = false;
const bool kFolderWatch = false;

namespace fs = std::filesystem;

namespace {
// The path as the standard library takes it, converted from UTF-16 without
// the locale's 8-bit encoding in between.
fs::path fsPath(const QString& path)
{
    return fs::path(path.toStdU16String());
}

fs::path fsPath(const QByteArray& path)
{
    return fsPath(QFile::decodeName(path));
}

// The errno nearest to the standard library's error.
int errnoOf(const std::error_code& error)
{
    if (!error)
        return 0;
    if (error.category() == std::generic_category() || error.category() == std::system_category()) {
        const std::error_condition condition = error.default_error_condition();
        if (condition.category() == std::generic_category() && condition.value() != 0)
            return condition.value();
    }
    return EIO;
}

} // namespace

QByteArray executablePath()
{
    if (!QCoreApplication::instance())
        return QByteArray();
    return QFile::encodeName(QCoreApplication::applicationFilePath());
}

std::optional<QString> folderByHandle(const QByteArray& folder)
{
    Q_UNUSED(folder);
    return std::nullopt;
}

bool folderExists(const QByteArray& folder)
{
    std::error_code error;
    return fs::is_directory(fsPath(folder), error);
}

QString helperProgramName(const QString& base)
{
#ifdef Q_OS_WIN
    return base + QStringLiteral(".exe");
#else
    return base;
#endif
}

void limitHelperProcess(int cpuSeconds, long long addressBytes, bool endWithStarter)
{
    Q_UNUSED(cpuSeconds);
    Q_UNUSED(addressBytes);
    Q_UNUSED(endWithStarter);
}

Liveness processState(qint64 pid)
{
    if (pid > 0 && pid == QCoreApplication::applicationPid())
        return Liveness::Running;
    return Liveness::Unknown;
}

bool isNonFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool syncToDisk(const QString& path)
{
    Q_UNUSED(path);
    return true;
}

int makeFolder(const QString& path)
{
    std::error_code error;
    if (fs::create_directory(fsPath(path), error))
        return 0;
    // create_directory reports no error when the folder was there already.
    return error ? errnoOf(error) : EEXIST;
}

int copyToNewFile(const QString& from, const QString& to)
{
    // Qt's files carry no errno: the nearest one is told from what stands
    // where the failure happened.
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return QFileInfo::exists(from) ? EACCES : ENOENT;
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
            return EEXIST;
        return QFileInfo(QFileInfo(to).absolutePath()).isDir() ? EACCES : ENOENT;
    }
    const auto writeFailed = [&](qint64 left) {
        std::error_code error;
        const fs::space_info space = fs::space(fsPath(QFileInfo(to).absolutePath()), error);
        return !error && space.available < std::uintmax_t(left) + 4096 ? ENOSPC : EIO;
    };
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0)
            return EIO;
        if (out.write(buffer.constData(), got) != got || !out.flush())
            return writeFailed(got);
    }
    out.close();
    return out.error() == QFileDevice::NoError ? 0 : writeFailed(0);
}

int moveWithoutReplacing(const QString& from, const QString& to)
{
    // A hard link refuses a name that is taken, in one step; the first name
    // is let go once the second stands.
    std::error_code error;
    fs::create_hard_link(fsPath(from), fsPath(to), error);
    if (!error) {
        fs::remove(fsPath(from), error);
        return 0;
    }
    const int linkError = errnoOf(error);
    if (linkError == EEXIST || linkError == ENOENT || linkError == EACCES || linkError == EROFS ||
        linkError == ENOSPC)
        return linkError;
    // A file system without hard links: Qt's rename, which tests for the
    // target first.
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return EEXIST;
    QFile file(from);
    if (file.rename(to))
        return 0;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return EEXIST;
    return linkError;
}

int moveReplacing(const QString& from, const QString& to)
{
    std::error_code error;
    fs::rename(fsPath(from), fsPath(to), error);
    return errnoOf(error);
}

int hardLink(const QString& existing, const QString& name)
{
    std::error_code error;
    fs::create_hard_link(fsPath(existing), fsPath(name), error);
    return errnoOf(error);
}

bool sameFile(const QString& a, const QString& b)
{
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(fsPath(a), error)) || error ||
        fs::is_symlink(fs::symlink_status(fsPath(b), error)) || error)
        return false;
    return fs::equivalent(fsPath(a), fsPath(b), error) && !error;
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return FileIdentity{0, 0, info.size(), info.lastModified().toMSecsSinceEpoch()};
}

void forEachEntry(const QString& folder,
                  const std::function<void(std::string_view name, bool isFolder)>& visit)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        const QByteArray name = QFile::encodeName(entry.fileName());
        visit(std::string_view(name.constData(), size_t(name.size())), entry.isDir());
    }
}

std::optional<std::vector<EntryKind>> entriesNow(const QString& folder, const std::vector<std::string>& names)
{
    if (!QFileInfo(folder).isDir())
        return std::nullopt;
    std::vector<EntryKind> kinds;
    kinds.reserve(names.size());
    for (const std::string& name : names) {
        const QFileInfo entry(QDir(folder).filePath(QFile::decodeName(QByteArray::fromStdString(name))));
        if (entry.isDir())
            kinds.push_back(EntryKind::Folder);
        else if (entry.exists() || entry.isSymLink())
            kinds.push_back(EntryKind::File);
        else
            kinds.push_back(EntryKind::None);
    }
    return kinds;
}

struct FolderWatch::State
{
};

FolderWatch::FolderWatch(QString folder, std::function<void()> noticed)
{
    Q_UNUSED(folder);
    Q_UNUSED(noticed);
}

FolderWatch::~FolderWatch() = default;

bool FolderWatch::watch()
{
    return false;
}

bool FolderWatch::take(const std::function<bool(std::string_view)>& wanted, std::vector<std::string>& names)
{
    Q_UNUSED(wanted);
    Q_UNUSED(names);
    return false;
}

LargeMemory::LargeMemory(size_t bytes)
{
    Q_UNUSED(bytes);
}

LargeMemory::~LargeMemory() = default;

StandardErrorCapture::StandardErrorCapture() = default;

StandardErrorCapture::~StandardErrorCapture() = default;

void StandardErrorCapture::restore() {}

std::string StandardErrorCapture::firstLine()
{
    return std::string();
}

} // namespace qb::platform
