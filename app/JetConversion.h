#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace qb {

// A store of the Jet (Access) format, left by the program that kept its
// receipts in one, is converted once at start-up, before the store is
// connected: the new store is written whole under a temporary name, the Jet
// file is kept beside it under a name of its own, and only then does the new
// store take the name pj.db. The Jet file is read, never written.

// The converter executable, which sits beside the program.
inline const QString kJetConverterName = QStringLiteral("tavrellquillbox-jetimport");
// The name the Jet file is kept under (a second one gets "-2", and so on).
inline const QString kKeptJetName = QStringLiteral("pj.db.jet");

// Whether `header` (the first bytes of a file) begins as a Jet file does:
// 00 01 00 00, then "Standard Jet DB" or, in the later format, "Standard ACE DB".
bool hasJetSignature(const QByteArray& header);
constexpr int kJetSignatureBytes = 19;

struct JetConversion
{
    enum Outcome { NotJet, Converted, Unreadable, NotWritten };
    Outcome outcome = NotJet;
    long long receipts = 0;
    long long categories = 0;
    // Where the Jet file was kept (Converted), or where it lies (otherwise).
    QString jetPath;
};

// Converts the store in `programFolder` (which ends with a separator) when
// it is a Jet file, with the converter at `converter`. `progress` hears
// (receipts done, receipts in all) while it runs. A start that was cut short
// at any moment leaves either the Jet file as pj.db (converted again now) or
// the converted store, never neither.
JetConversion convertJetStore(const QString& programFolder, const QString& converter,
                              const std::function<void(long long done, long long total)>& progress);

// What the user is told about a conversion, or an empty text for none.
QString conversionMessage(const JetConversion& conversion);

} // namespace qb
