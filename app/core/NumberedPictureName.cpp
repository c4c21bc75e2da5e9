#include "app/core/NumberedPictureName.h"

#include <charconv>
#include <cstring>

namespace qb {

namespace {
constexpr std::string_view kSuffix(".jpg");
constexpr size_t kLeastDigits = 5;
// Digits beyond eighteen cannot come from a number the program hands out.
constexpr size_t kMostDigits = 18;
} // namespace

size_t writeNumberedPictureName(qint64 number, char (&out)[32])
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    const size_t count = size_t(end - digits);
    const size_t zeros = count < kLeastDigits ? kLeastDigits - count : 0;
    std::memset(out, '0', zeros);
    std::memcpy(out + zeros, digits, count);
    std::memcpy(out + zeros + count, kSuffix.data(), kSuffix.size());
    return zeros + count + kSuffix.size();
}

QString numberedPictureName(qint64 number)
{
    char name[32];
    return QString::fromLatin1(name, qsizetype(writeNumberedPictureName(number, name)));
}

qint64 pictureNumberOf(std::string_view name)
{
    if (name.size() < kLeastDigits + kSuffix.size() || name.size() > kMostDigits + kSuffix.size() ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return 0;
    const std::string_view digits = name.substr(0, name.size() - kSuffix.size());
    // Only the shortest names may start with a zero: "012345.jpg" is no number's name.
    if (digits.size() > kLeastDigits && digits.front() == '0')
        return 0;
    qint64 n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace qb
