// Converts one EMF picture, read from standard input, to SVG on standard
// output. The program starts this per picture so that a damaged file cannot
// take the program down with it. Exit status 0 on success.
#include <cstdio>
#include <cstdlib>
#include <emf2svg.h>
#include <vector>

#if defined(__unix__) && !defined(__SANITIZE_ADDRESS__)
#include <sys/resource.h>
#endif

namespace {

constexpr size_t maxInputBytes = 256u * 1024 * 1024;
// The fixed part of the EMR_HEADER record.
constexpr size_t emfHeaderBytes = 88;
constexpr size_t paddingBytes = 4096;

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
        if (input.size() > maxInputBytes) {
            std::fputs("input too large\n", stderr);
            return 3;
        }
    }
    if (input.empty()) {
        std::fputs("empty input\n", stderr);
        return 2;
    }
    // libemf2svg reads the header's fields before it checks any length.
    if (input.size() < emfHeaderBytes) {
        std::fputs("not an EMF picture: shorter than an EMF header\n", stderr);
        return 2;
    }
    const size_t length = input.size();
    // The library reads a little past the end of a record that claims more
    // than the file holds; those reads land on zeros of our own.
    input.resize(length + paddingBytes, 0);
    char emptyNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = emptyNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* svg = nullptr;
    size_t svgLength = 0;
    const int ok = emf2svg(input.data(), length, &svg, &svgLength, &options);
    if (ok != 1 || !svg || svgLength == 0) {
        std::free(svg);
        std::fputs("not a readable EMF picture\n", stderr);
        return 2;
    }
    const bool written = std::fwrite(svg, 1, svgLength, stdout) == svgLength && std::fflush(stdout) == 0;
    std::free(svg);
    return written ? 0 : 4;
}
