// Converts a store of the Jet (Access) format into a new store of ours for
// the program, which starts this once per conversion:
//
//   tavrellquillbox-jetimport <jet file> <new store>
//
// The reader of Jet files is not safe on a damaged file, so it runs here, in
// a process of its own, never in the program. Standard output gets
// "progress <done> <total>" lines and at the end "converted <receipts>
// <categories>"; exit status 0 on success, 2 when the Jet file cannot be
// read (or holds less than it says), 3 when the new store cannot be
// written, 4 when the Jet file is not a receipt store (no table pj with the
// old program's columns; the new store is then not created); standard error
// says why.
#include "store/JetImport.h"
#include "util/platform/Platform.h"

#include <QFile>
#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    // A conversion whose program was killed stops with it; the next start
    // converts again. A sound conversion of 300,000 receipts needs under
    // 20 MB; a damaged file must not take the machine's memory.
    qb::platform::limitHelperProcess(300, 1LL << 30, true);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <jet file> <new store>\n", argv[0]);
        return 1;
    }
    try {
        const auto counts =
            qb::jet::importJetStore(argv[1], QFile::decodeName(argv[2]), [](long long done, long long total) {
                std::printf("progress %lld %lld\n", done, total);
                std::fflush(stdout);
            });
        std::printf("converted %lld %lld\n", counts.receipts, counts.categories);
        return std::fflush(stdout) == 0 ? 0 : 3;
    } catch (const qb::jet::NotReceiptStore& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 4;
    } catch (const qb::jet::ImportError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 3;
    }
}
