// The Linux half of the platform interface (Platform.h).
#include "util/platform/Platform.h"

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb::platform {

const bool kLinux = true;
const bool kFolderWatch = true;

namespace {
QByteArray bytes(const QString& path)
{
    return QFile::encodeName(path);
}
} // namespace

QByteArray executablePath()
{
    QByteArray path(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), size_t(path.size()));
        if (length < 0)
            return QByteArray();
        if (length < path.size()) {
            path.truncate(int(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::optional<QString> folderByHandle(const QByteArray& folder)
{
    const int handle = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return std::nullopt;
    // The process id rather than "self": a helper program started on a
    // picture in the folder must reach it through the same handle.
    return QStringLiteral("/proc/%1/fd/%2/").arg(QString::number(::getpid()), QString::number(handle));
}

bool folderExists(const QByteArray& folder)
{
    struct stat info;
    return ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString helperProgramName(const QString& base)
{
    return base;
}

void limitHelperProcess(int cpuSeconds, long long addressBytes, bool endWithStarter)
{
    // A helper whose program was killed stops with it.
    if (endWithStarter)
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#if defined(__SANITIZE_ADDRESS__)
    Q_UNUSED(cpuSeconds);
    Q_UNUSED(addressBytes);
#else
    const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds)};
    ::setrlimit(RLIMIT_CPU, &cpu);
    const rlimit memory{rlim_t(addressBytes), rlim_t(addressBytes)};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
}

Liveness processState(qint64 pid)
{
    if (pid <= 0)
        return Liveness::Unknown;
    // No process has a number beyond what the system counts to; cut down, it
    // would name a group of processes.
    if (pid > std::numeric_limits<pid_t>::max())
        return Liveness::Gone;
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return Liveness::Running;
    return errno == ESRCH ? Liveness::Gone : Liveness::Unknown;
}

bool isNonFolder(const QString& path)
{
    struct stat info;
    if (::stat(bytes(path).constData(), &info) != 0)
        return false;
    return !S_ISDIR(info.st_mode);
}

bool syncToDisk(const QString& path)
{
    const int fd = ::open(bytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

int makeFolder(const QString& path)
{
    return ::mkdir(bytes(path).constData(), 0777) == 0 ? 0 : errno;
}

int copyToNewFile(const QString& from, const QString& to)
{
    const int in = ::open(bytes(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    const int out = ::open(bytes(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = 0;
    std::vector<char> buffer(1 << 16);
    while (error == 0) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0) {
            if (errno != EINTR)
                error = errno;
            continue;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            const ssize_t put = ::write(out, buffer.data() + done, size_t(got - done));
            if (put >= 0)
                done += put;
            else if (errno != EINTR)
                error = errno;
        }
    }
    ::close(in);
    if (::close(out) != 0 && error == 0)
        error = errno;
    return error;
}

int moveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = bytes(from);
    const QByteArray target = bytes(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system cannot refuse to replace in a rename; a hard link can
    // refuse, and the temporary name is let go once the link stands.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
}

int moveReplacing(const QString& from, const QString& to)
{
    return ::rename(bytes(from).constData(), bytes(to).constData()) == 0 ? 0 : errno;
}

int hardLink(const QString& existing, const QString& name)
{
    return ::link(bytes(existing).constData(), bytes(name).constData()) == 0 ? 0 : errno;
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat first, second;
    return ::lstat(bytes(a).constData(), &first) == 0 && ::lstat(bytes(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat status;
    if (::stat(bytes(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<long long>(status.st_dev), static_cast<long long>(status.st_ino),
                        static_cast<long long>(status.st_size), static_cast<long long>(status.st_mtime)};
}

void forEachEntry(const QString& folder,
                  const std::function<void(std::string_view name, bool isFolder)>& visit)
{
    // Closed however the walk ends: `visit` may throw.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(bytes(folder).constData()), ::closedir);
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        bool isFolder = entry->d_type == DT_DIR;
        // Links and file systems that do not type their entries need a look.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info;
            isFolder = ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        visit(std::string_view(entry->d_name), isFolder);
    }
}

namespace {
EntryKind entryNow(int dir, const char* name)
{
    struct stat info;
    if (::fstatat(dir, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EntryKind::None : EntryKind::File;
    if (S_ISLNK(info.st_mode) && ::fstatat(dir, name, &info, 0) != 0)
        return EntryKind::File;
    return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File;
}
} // namespace

std::optional<std::vector<EntryKind>> entriesNow(const QString& folder, const std::vector<std::string>& names)
{
    const int dir = ::open(bytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return std::nullopt;
    std::vector<EntryKind> kinds;
    kinds.reserve(names.size());
    for (const std::string& name : names)
        kinds.push_back(entryNow(dir, name.c_str()));
    ::close(dir);
    return kinds;
}

struct FolderWatch::State
{
    QString folder;
    std::function<void()> noticed;
    int notices = -1;
    int watch = -1;
    // The folder watched (device and inode), as the path led when the watch began.
    dev_t device = 0;
    ino_t inode = 0;
    std::unique_ptr<QSocketNotifier> notifier;

    // Whether the path still leads to the folder being watched. A link
    // pointed at another folder sends no notice: the watch follows the
    // folder, not the path.
    bool stillWatched() const
    {
        struct stat info;
        return ::stat(bytes(folder).constData(), &info) == 0 && info.st_dev == device && info.st_ino == inode;
    }

    void unwatch()
    {
        if (watch >= 0)
            ::inotify_rm_watch(notices, watch);
        watch = -1;
    }
};

FolderWatch::FolderWatch(QString folder, std::function<void()> noticed) : m_state(new State)
{
    m_state->folder = std::move(folder);
    m_state->noticed = std::move(noticed);
}

FolderWatch::~FolderWatch()
{
    m_state->notifier.reset();
    if (m_state->notices >= 0)
        ::close(m_state->notices);
}

bool FolderWatch::watch()
{
    State& s = *m_state;
    if (s.notices < 0) {
        s.notices = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (s.notices < 0)
            return false;
        if (s.noticed) {
            s.notifier = std::make_unique<QSocketNotifier>(qintptr(s.notices), QSocketNotifier::Read);
            QObject::connect(s.notifier.get(), &QSocketNotifier::activated,
                             [state = &s] { state->noticed(); });
        }
    }
    if (s.watch < 0) {
        // Taken before the watch: should the path change in between, the
        // next look finds it changed and lists again.
        struct stat info;
        const bool found = ::stat(bytes(s.folder).constData(), &info) == 0;
        s.device = found ? info.st_dev : 0;
        s.inode = found ? info.st_ino : 0;
        s.watch = ::inotify_add_watch(s.notices, bytes(s.folder).constData(),
                                      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                          IN_MOVE_SELF | IN_ONLYDIR);
    }
    return s.watch >= 0;
}

bool FolderWatch::take(const std::function<bool(std::string_view)>& wanted, std::vector<std::string>& names)
{
    State& s = *m_state;
    if (s.notices < 0 || s.watch < 0)
        return false;
    if (!s.stillWatched()) {
        s.unwatch();
        return false;
    }
    bool whole = true;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(s.notices, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* notice = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + notice->len);
            if (notice->mask & IN_Q_OVERFLOW) {
                whole = false;
                continue;
            }
            if (notice->wd != s.watch)
                continue; // a watch given up earlier
            if (notice->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
                // The path may name another folder by now: watched anew at the listing.
                if (!(notice->mask & IN_IGNORED))
                    s.unwatch();
                s.watch = -1;
                whole = false;
                continue;
            }
            if (notice->len > 0 && wanted && wanted(notice->name))
                names.emplace_back(notice->name);
        }
    }
    return whole && s.watch >= 0;
}

LargeMemory::LargeMemory(size_t bytes)
{
    void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED)
        return;
    ::madvise(data, bytes, MADV_HUGEPAGE);
    m_data = static_cast<char*>(data);
    m_size = bytes;
}

LargeMemory::~LargeMemory()
{
    if (m_data)
        ::munmap(m_data, m_size);
}

StandardErrorCapture::StandardErrorCapture()
{
    std::fflush(stderr);
    m_file = std::tmpfile();
    m_saved = m_file ? ::dup(STDERR_FILENO) : -1;
    if (m_saved >= 0)
        ::dup2(::fileno(m_file), STDERR_FILENO);
}

StandardErrorCapture::~StandardErrorCapture()
{
    restore();
    if (m_file)
        std::fclose(m_file);
}

void StandardErrorCapture::restore()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
    m_saved = -1;
}

std::string StandardErrorCapture::firstLine()
{
    restore();
    if (!m_file)
        return std::string();
    std::rewind(m_file);
    char line[256] = {};
    if (std::fgets(line, sizeof line, m_file))
        return line;
    return std::string();
}

} // namespace qb::platform
