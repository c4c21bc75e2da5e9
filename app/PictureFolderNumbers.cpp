#include "app/PictureFolderNumbers.h"

#include "util/FileClaim.h"

#include <QFile>
#include <string>
#include <vector>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qb {

FolderNumbers FolderNumbers::list(const QString& folder)
{
    FolderNumbers numbers;
    forEachEntry(folder, [&](std::string_view name, bool isFolder) {
        if (const qint64 n = pictureNumberOf(name))
            (isFolder ? numbers.m_folders : numbers.m_files).insert(n);
    });
    return numbers;
}

void FolderNumbers::set(std::string_view name, Entry entry)
{
    const qint64 n = pictureNumberOf(name);
    if (n == 0)
        return;
    m_files.erase(n);
    m_folders.erase(n);
    if (entry == Entry::File)
        m_files.insert(n);
    else if (entry == Entry::Folder)
        m_folders.insert(n);
}

PictureFolderNumbers::PictureFolderNumbers(QString folder) : m_folder(std::move(folder)) {}

PictureFolderNumbers::~PictureFolderNumbers()
{
#ifdef Q_OS_LINUX
    if (m_notices >= 0)
        ::close(m_notices);
#endif
}

const FolderNumbers& PictureFolderNumbers::current()
{
    if (m_watch >= 0 && !stillWatched()) {
        unwatch();
        m_known = false;
    }
    if (m_known && readNotices())
        return m_numbers;
    // The watch comes first, so that whatever changes while the folder is
    // listed arrives as a notice and is looked at again.
    m_known = false;
    if (watch()) {
        readNotices(false); // older notices: the listing covers them
        m_known = watch();  // again, when one of them gave the watch up
    }
    m_numbers = FolderNumbers::list(m_folder);
    ++m_listings;
    return m_numbers;
}

#ifdef Q_OS_LINUX

bool PictureFolderNumbers::watch()
{
    if (m_notices < 0)
        m_notices = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_notices < 0)
        return false;
    if (m_watch < 0) {
        // Taken before the watch: should the path change in between, the
        // next look finds it changed and lists again.
        struct stat info;
        const bool found = ::stat(QFile::encodeName(m_folder).constData(), &info) == 0;
        m_device = found ? quint64(info.st_dev) : 0;
        m_inode = found ? quint64(info.st_ino) : 0;
        m_watch = ::inotify_add_watch(m_notices, QFile::encodeName(m_folder).constData(),
                                      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                          IN_MOVE_SELF | IN_ONLYDIR);
    }
    return m_watch >= 0;
}

// Whether the path still leads to the folder being watched. A link pointed
// at another folder sends no notice: the watch follows the folder, not the
// path.
bool PictureFolderNumbers::stillWatched() const
{
    struct stat info;
    return ::stat(QFile::encodeName(m_folder).constData(), &info) == 0 && quint64(info.st_dev) == m_device &&
           quint64(info.st_ino) == m_inode;
}

void PictureFolderNumbers::unwatch()
{
    if (m_watch >= 0)
        ::inotify_rm_watch(m_notices, m_watch);
    m_watch = -1;
}

namespace {
// What `name` in the folder `dir` is now, as a listing of it would say.
FolderNumbers::Entry entryNow(int dir, const char* name)
{
    struct stat info;
    if (::fstatat(dir, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FolderNumbers::Entry::None : FolderNumbers::Entry::File;
    if (S_ISLNK(info.st_mode) && ::fstatat(dir, name, &info, 0) != 0)
        return FolderNumbers::Entry::File;
    return S_ISDIR(info.st_mode) ? FolderNumbers::Entry::Folder : FolderNumbers::Entry::File;
}
} // namespace

// Takes the notices that arrived; false when they cannot tell what the
// folder holds now. Each name a notice mentions is looked at as it is now,
// whatever the notices say happened to it on the way.
bool PictureFolderNumbers::readNotices(bool apply)
{
    if (m_notices < 0 || m_watch < 0)
        return false;
    std::vector<std::string> names;
    bool whole = true;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_notices, buffer, sizeof buffer);
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
            if (notice->wd != m_watch)
                continue; // a watch given up earlier
            if (notice->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
                // The path may name another folder by now: watched anew at the listing.
                if (!(notice->mask & IN_IGNORED))
                    unwatch();
                m_watch = -1;
                whole = false;
                continue;
            }
            if (apply && notice->len > 0 && pictureNumberOf(notice->name) != 0)
                names.emplace_back(notice->name);
        }
    }
    if (!whole || m_watch < 0) {
        m_known = false;
        return false;
    }
    if (names.empty())
        return true;
    const int dir = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        m_known = false;
        return false;
    }
    for (const std::string& name : names)
        m_numbers.set(name, entryNow(dir, name.c_str()));
    ::close(dir);
    return true;
}

#else

bool PictureFolderNumbers::watch()
{
    return false;
}

void PictureFolderNumbers::unwatch() {}

bool PictureFolderNumbers::readNotices(bool)
{
    return false;
}

bool PictureFolderNumbers::stillWatched() const
{
    return false;
}

#endif

} // namespace qb
