#pragma once

#include "util/platform/Platform.h"

#include <QString>

// What passes between the Jet converter and the program that starts it. The
// program runs
//
//   tavrellquillbox-jetimport <jet file> <new store>
//
// and reads, on the converter's standard output, lines
// "progress <done> <total>" now and then and at the end
// "converted <receipts> <categories>"; the exit status says how it ended and
// standard error says why.
namespace qb {

// The converter executable, which sits beside the program.
inline const QString kJetConverterName =
    platform::helperProgramName(QStringLiteral("tavrellquillbox-jetimport"));

namespace jetimport {

// The first word of a line of the converter's output; two numbers follow.
inline constexpr char kProgressWord[] = "progress";   // receipts done, receipts in all
inline constexpr char kConvertedWord[] = "converted"; // receipts, categories

enum ExitStatus : int {
    kConverted = 0,
    kUsage = 1,
    // The Jet file cannot be read, or holds less than it says.
    kUnreadable = 2,
    // The new store cannot be written.
    kNotWritten = 3,
    // The Jet file holds no table pj with the old program's columns; the new
    // store is then not created.
    kNotReceiptStore = 4,
};

} // namespace jetimport
} // namespace qb
