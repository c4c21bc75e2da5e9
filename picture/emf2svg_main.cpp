// Converts one EMF picture, read from standard input, to SVG on standard
// output. The program starts this per picture so that a damaged file cannot
// take the program down with it. Exit status 0 on success.
#include "picture/EmfToSvg.h"

#include <cstdio>
#include <string>
#include <vector>

#if defined(__unix__) && !defined(__SANITIZE_ADDRESS__)
#include <sys/resource.h>
#endif

namespace {

// A hostile file must not make the converter eat the machine: cap its
// memory and processor time (the caller has a timeout as well).
void limitResources()
{
#if defined(__unix__) && !defined(__SANITIZE_ADDRESS__)
    const rlimit memory{2048ul * 1024 * 1024, 2048ul * 1024 * 1024};
    setrlimit(RLIMIT_AS, &memory);
    const rlimit cpu{30, 30};
    setrlimit(RLIMIT_CPU, &cpu);
#endif
}

} // namespace

int main()
{
    limitResources();
    std::vector<char> input;
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        input.insert(input.end(), chunk, chunk + n);
        if (input.size() > qb::emf::maxInputBytes) {
            std::fputs("文件过大\n", stderr);
            return 3;
        }
    }
    std::string svg;
    if (const char* why = qb::emf::convertToSvg(input, svg)) {
        std::fprintf(stderr, "%s\n", why);
        return 2;
    }
    const bool written = std::fwrite(svg.data(), 1, svg.size(), stdout) == svg.size() && std::fflush(stdout) == 0;
    return written ? 0 : 4;
}
