#pragma once

#include <QString>

// The receipt store: its file, its password, its tables and their fields. Everything that names a table or a
// field takes the name from here.
namespace qb::schema {

inline const QString kStoreFileName = QStringLiteral("pj.db");
// What the engine appends to a store's name for the journal it keeps beside
// the store while a write is under way.
inline const QString kJournalSuffix = QStringLiteral("-journal");
inline const QString kStorePassword = QStringLiteral("kvqe");
// The picture folder beside the store file: the receipts name their pictures in it.
inline const QString kPictureFolderName = QStringLiteral("image");

// The categories: one row per category name ever filed.
inline const QString kCategories = QStringLiteral("ml");
// The receipts.
inline const QString kReceipts = QStringLiteral("pj");

// The login password in its stored form, in the one row of its one field.
inline const QString kPasswords = QStringLiteral("pass");
inline const QString kPasswordField = QStringLiteral("mm");

// Fields. The counter is written "id" in statements; names match ignoring case.
inline const QString kId = QStringLiteral("id");
inline const QString kCategory = QStringLiteral("类别");
inline const QString kTitle = QStringLiteral("票据标题");
inline const QString kDescription = QStringLiteral("说明");
inline const QString kPicture = QStringLiteral("图片");

// The fields' positions in their tables, as the statements below make them:
// a row is read and written in this order.
enum CategoryColumn : int { kCategoryIdColumn, kCategoryNameColumn, kCategoryColumns };
enum ReceiptColumn : int {
    kReceiptIdColumn,
    kReceiptCategoryColumn,
    kReceiptTitleColumn,
    kReceiptDescriptionColumn,
    kReceiptPictureColumn,
    kReceiptColumns
};

// The statements that make the tables: the first two with a new store, the
// password table at the first login (store/NewStore.h runs the first two).
inline const QString kCreateCategories =
    QStringLiteral("create table %1(ID  COUNTER   PRIMARY   KEY,%2 char(50))").arg(kCategories, kCategory);
inline const QString kCreateReceipts =
    QStringLiteral("create table %1(ID  COUNTER   PRIMARY   KEY,%2 char(50),%3 char(50),%4 memo,%5 char(50))")
        .arg(kReceipts, kCategory, kTitle, kDescription, kPicture);

// Indexes of the program's own, beside the tables: the receipts' numbers in
// order (a list of every receipt reads these instead of every row) and their
// picture names (a delete asks whether another receipt names its picture).
// An outside program that writes the tables keeps them up to date itself.
inline const QString kCreateNumberIndex =
    QStringLiteral("create index if not exists pj_id_order on %1(ID)").arg(kReceipts);
inline const QString kCreatePictureIndex =
    QStringLiteral("create index if not exists pj_picture on %1(%2)").arg(kReceipts, kPicture);
// The few picture names with a folder part (written by another program),
// which may lead the display back into the picture folder.
inline const QString kCreatePicturePathIndex =
    QStringLiteral("create index if not exists pj_picture_path on %1(%2) where instr(%2, '/') > 0")
        .arg(kReceipts, kPicture);

inline const QString kCreatePasswords =
    QStringLiteral("create table %1(%2 char(50))").arg(kPasswords, kPasswordField);

} // namespace qb::schema
