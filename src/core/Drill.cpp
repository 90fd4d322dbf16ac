#include "Drill.h"

#include <array>
#include <cstdio>

namespace tafelix {

namespace {

constexpr char foldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Box and pass numbers come from files and may sit at the edge of the range; they wrap
// instead of overflowing.
std::int32_t plusOne(std::int32_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1U);
}

} // namespace

bool answersMatch(std::string_view answer, std::string_view expected, bool caseSensitive)
{
    if (answer.size() != expected.size())
        return false;
    if (caseSensitive)
        return answer == expected;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (foldAscii(answer[i]) != foldAscii(expected[i]))
            return false;
    }
    return true;
}

double percentRight(std::int64_t right, std::int64_t answered)
{
    if (answered <= 0)
        return 0.0;
    return static_cast<double>(right) * 100.0 / static_cast<double>(answered);
}

int gradeForPercent(double percent)
{
    // Lowest grade first, each reached threshold improves it.
    int grade = 6;
    if (percent >= 25)
        grade = 5;
    if (percent >= 50)
        grade = 4;
    if (percent >= 67)
        grade = 3;
    if (percent >= 81)
        grade = 2;
    if (percent >= 92)
        grade = 1;
    return grade;
}

void applyAnswer(TWordEntry& entry, bool countedRight)
{
    entry.box = countedRight ? plusOne(entry.box) : 1;
    entry.passes = plusOne(entry.passes);
}

std::string formatElapsed(std::int64_t seconds)
{
    constexpr std::int64_t day = 24 * 60 * 60;
    const std::int64_t s = seconds < 0 ? 0 : seconds % day;
    std::array<char, 40> buf{};
    std::snprintf(buf.data(), buf.size(), "%02d:%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    return buf.data();
}

} // namespace tafelix
