#pragma once

#include <QString>

// The receipt store: its file, its password, its tables and their fields. Everything that names a table or a
// field takes the name from here.
namespace qb::schema {

inline const QString kStoreFileName = QStringLiteral("pj.db");
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

// The statements that make the tables: the first two with a new store, the
// password table at the first login.
inline const QString kCreateCategories =
    QStringLiteral("create table ml(ID  COUNTER   PRIMARY   KEY,类别 char(50))");
inline const QString kCreateReceipts = QStringLiteral(
    "create table pj(ID  COUNTER   PRIMARY   KEY,类别 char(50),票据标题 char(50),说明 memo,图片 char(50))");

// Indexes of the program's own, beside the tables: the receipts' numbers in
// order (a list of every receipt reads these instead of every row) and their
// picture names (a delete asks whether another receipt names its picture).
// An outside program that writes the tables keeps them up to date itself.
inline const QString kCreateNumberIndex = QStringLiteral("create index if not exists pj_id_order on pj(ID)");
inline const QString kCreatePictureIndex =
    QStringLiteral("create index if not exists pj_picture on pj(图片)");
// The few picture names with a folder part (written by another program),
// which may lead the display back into the picture folder.
inline const QString kCreatePicturePathIndex =
    QStringLiteral("create index if not exists pj_picture_path on pj(图片) where instr(图片, '/') > 0");

inline const QString kCreatePasswords = QStringLiteral("create table pass(mm char(50))");

} // namespace qb::schema
