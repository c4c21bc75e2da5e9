// Converts a store of the Jet (Access) format into a new store of ours for
// the program, which starts this once per conversion (store/JetImportProtocol.h
// says how). The reader of Jet files is not safe on a damaged file, so it runs
// here, in a process of its own, never in the program.
#include "store/JetImportProtocol.h"
#include "store/jet/JetImport.h"
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
        return qb::jetimport::kUsage;
    }
    try {
        const auto counts =
            qb::jet::importJetStore(argv[1], QFile::decodeName(argv[2]), [](long long done, long long total) {
                std::printf("%s %lld %lld\n", qb::jetimport::kProgressWord, done, total);
                std::fflush(stdout);
            });
        std::printf("%s %lld %lld\n", qb::jetimport::kConvertedWord, counts.receipts, counts.categories);
        return std::fflush(stdout) == 0 ? qb::jetimport::kConverted : qb::jetimport::kNotWritten;
    } catch (const qb::jet::NotReceiptStore& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return qb::jetimport::kNotReceiptStore;
    } catch (const qb::jet::ImportError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return qb::jetimport::kUnreadable;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return qb::jetimport::kNotWritten;
    }
}
