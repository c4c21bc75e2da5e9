#pragma once

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target shares.
namespace qb::fuzz {

inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A broken promise: report it the way libFuzzer reports a crash.
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

} // namespace qb::fuzz
