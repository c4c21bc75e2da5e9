#include "app/core/PictureFolderNumbers.h"

#include "util/FileClaim.h"

#include <QFile>
#include <string>
#include <vector>

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

PictureFolderNumbers::PictureFolderNumbers(QString folder, std::function<void()> noticed)
    : m_folder(std::move(folder)), m_watch(m_folder, std::move(noticed))
{
}

const FolderNumbers& PictureFolderNumbers::current()
{
    if (m_known && readNotices())
        return m_numbers;
    // The watch comes first, so that whatever changes while the folder is
    // listed arrives as a notice and is looked at again.
    m_known = false;
    if (m_watch.watch()) {
        readNotices(false);        // older notices: the listing covers them
        m_known = m_watch.watch(); // again, when one of them gave the watch up
    }
    m_numbers = FolderNumbers::list(m_folder);
    ++m_listings;
    return m_numbers;
}

// Takes the notices that arrived; false when they cannot tell what the
// folder holds now. Each name a notice mentions is looked at as it is now,
// whatever the notices say happened to it on the way.
bool PictureFolderNumbers::readNotices(bool apply)
{
    std::vector<std::string> names;
    const auto numbered = [apply](std::string_view name) { return apply && pictureNumberOf(name) != 0; };
    if (!m_watch.take(numbered, names)) {
        m_known = false;
        return false;
    }
    if (names.empty())
        return true;
    const auto kinds = platform::entriesNow(m_folder, names);
    if (!kinds) {
        m_known = false;
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i)
        m_numbers.set(names[i], (*kinds)[i] == platform::EntryKind::None     ? FolderNumbers::Entry::None
                                : (*kinds)[i] == platform::EntryKind::Folder ? FolderNumbers::Entry::Folder
                                                                             : FolderNumbers::Entry::File);
    return true;
}

} // namespace qb
