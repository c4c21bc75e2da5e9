#pragma once

#include "store/JetImportProtocol.h"
#include "store/Schema.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace qb {

// A store of the Jet (Access) format, left by the program that kept its
// receipts in one, is converted once at start-up, before the store is
// connected: the new store is written whole under a temporary name, the Jet
// file is kept beside it under a name of its own, and only then does the new
// store take the name pj.db. The Jet file is read, never written.

// The name the Jet file is kept under (a second one gets "-2", and so on).
inline const QString kKeptJetName = schema::kStoreFileName + QStringLiteral(".jet");
// The lock beside pj.db under which a start puts its converted store in
// place, so that two starts converting at once take turns.
inline const QString kConversionLockName =
    QLatin1Char('.') + schema::kStoreFileName + QStringLiteral(".convert.lock");

// Whether `header` (the first bytes of a file) begins as a Jet file does:
// 00 01 00 00, then "Standard Jet DB" or, in the later format, "Standard ACE DB".
bool hasJetSignature(const QByteArray& header);
constexpr int kJetSignatureBytes = 19;

struct JetConversion
{
    // NotReceiptStore: a Jet file without the receipts table, which is not
    // converted into an empty store.
    enum Outcome { NotJet, Converted, Unreadable, NotWritten, NotReceiptStore };
    Outcome outcome = NotJet;
    long long receipts = 0;
    long long categories = 0;
    // Where the Jet file was kept (Converted), or where it lies (otherwise).
    QString jetPath;
};

// How long the converter may work on a Jet file of `bytes` bytes: many
// times what a sound file takes. A file that keeps it busy longer (a chain
// of pages that loops) counts as one that cannot be read.
std::chrono::milliseconds conversionTimeLimit(long long bytes);

// Converts the store in `programFolder` (which ends with a separator) when
// it is a Jet file, with the converter at `converter`, which is ended after
// `limit` (by default conversionTimeLimit() of the file). `progress` hears
// (receipts done, receipts in all) as soon as the converter starts and about
// every tenth of a second while it runs; both are 0 until the converter
// tells. A start that was cut short at any moment leaves either the Jet file
// as pj.db (converted again now) or the converted store, never neither.
JetConversion convertJetStore(const QString& programFolder, const QString& converter,
                              const std::function<void(long long done, long long total)>& progress,
                              std::optional<std::chrono::milliseconds> limit = std::nullopt);

// What the user is told about a conversion, or an empty text for none.
QString conversionMessage(const JetConversion& conversion);

} // namespace qb
