#pragma once

#include "app/core/NumberedPictureName.h"

#include <QString>
#include <functional>
#include <stdexcept>
#include <string_view>

namespace qb {

class Connection;
class PictureFolderNumbers;

// A picture that could not be brought into the picture folder.
class PictureImportError : public std::runtime_error
{
public:
    explicit PictureImportError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The temporary name under which a picture is copied before it is moved to
// its numbered name.
inline const QString kPictureTemporaryPrefix = QStringLiteral(".copy-");
inline const QString kPictureTemporarySuffix = QStringLiteral(".part");

// The picture folder of the program living in `programFolder` (which ends
// with a separator), with its own trailing separator.
QString pictureFolderPath(const QString& programFolder);

// Whether some receipt names the picture `utf8Name` (its stored name,
// trimmed, in UTF-8).
using PictureNamed = std::function<bool(std::string_view utf8Name)>;

// Asks the receipts in the store, whose pictures lie in `pictureFolder`
// (which ends with a separator). Make one per decision: it answers for the
// store as it was when first asked. Throws StoreError when the store cannot
// be read.
PictureNamed namedInStore(Connection& connection, const QString& pictureFolder);

// The picture rule of a delete: after the receipt that stored the picture
// name `stored` (trimmed) is gone, its picture file is removed from the
// picture folder (which ends with a separator), unless another receipt still
// names it (`named`). A name with a folder part, or no name, removes
// nothing. Returns whether a file was removed.
bool removeUnnamedPicture(const QString& stored, const QString& pictureFolder, const PictureNamed& named);

// The full path of the lowest numbered picture name in `pictureFolder` (with
// its trailing separator) at which no file exists and which no receipt names
// (`named`, when given). A receipt whose file was lost outside the program
// keeps its number, so that a new picture never shows for it. Folders that
// bear a numbered name do not count as taken. Numbers freed by deleted
// pictures are handed out again, lowest first.
// `numbers`, when given, keeps the folder's taken numbers between calls
// (PictureFolderNumbers.h); without it the folder is listed.
QString nextFreePictureName(const QString& pictureFolder, const PictureNamed& named = {},
                            PictureFolderNumbers* numbers = nullptr);

// Whether `path` names an existing file directly inside `pictureFolder`
// (which ends with a separator): its cleaned, absolute folder is the picture
// folder. A path below a subfolder, or one that merely contains the folder's
// path somewhere, is not inside.
bool isInPictureFolder(const QString& path, const QString& pictureFolder);

// Brings the picture the user chose into the picture folder and yields the
// name to store for it. A file already inside the picture folder yields its
// own name and nothing is copied, unless blanks or control characters
// surround its name: the display reads stored names trimmed and would show
// another file, so such a file is copied like an outside one. Any other file
// is copied under the next free numbered name (see nextFreePictureName, with
// `named`), bytes unchanged. The copy never replaces a file: when
// another program takes the name first, the copy goes to the next free one.
//
// A copy that fails throws PictureImportError naming the file, and leaves no
// file behind under the new name. `copiedTo` gets the full path of the copy
// (empty when nothing was copied), so a caller whose next step fails can take
// the copy back.
QString importPicture(const QString& chosen, const QString& pictureFolder, const PictureNamed& named = {},
                      QString* copiedTo = nullptr, PictureFolderNumbers* numbers = nullptr);

} // namespace qb
