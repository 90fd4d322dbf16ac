#include "Percent.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tafelix {

std::string formatPercent(double value, char decimalSeparator)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    // The shortest decimal that reads back as this double is the value the learner means:
    // 66.665 arrives as 66.66499999999999 in binary, but prints as 66.665.
    std::array<char, 400> buf{};
    const auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
    if (ec != std::errc{})
        return "0" + std::string(1, decimalSeparator) + "00";
    std::string digits(buf.data(), end);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative)
        digits.erase(0, 1);
    std::string whole = digits;
    std::string fraction;
    if (const auto dot = digits.find('.'); dot != std::string::npos) {
        whole = digits.substr(0, dot);
        fraction = digits.substr(dot + 1);
    }
    const bool roundUp = fraction.size() > 2 && fraction[2] >= '5';
    fraction.resize(2, '0');

    // Half up, away from zero: carry through the kept digits from the right.
    std::string kept = whole + fraction;
    if (roundUp) {
        auto i = kept.size();
        while (i > 0) {
            --i;
            if (kept[i] != '9') {
                ++kept[i];
                break;
            }
            kept[i] = '0';
            if (i == 0)
                kept.insert(kept.begin(), '1');
        }
    }
    std::string out = kept.substr(0, kept.size() - 2);
    out += decimalSeparator;
    out += kept.substr(kept.size() - 2);
    if (negative &&
        out.find_first_not_of("0" + std::string(1, decimalSeparator)) != std::string::npos)
        out.insert(out.begin(), '-');
    return out;
}

std::optional<double> readPercent(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    // from_chars reads the C locale's form whatever the process's locale is, so the one
    // separator becomes a point. It also reads "inf" and "nan", which are no percentage.
    std::string number(text);
    std::size_t separators = 0;
    for (char& c : number) {
        if (c == ',' || c == '.') {
            c = '.';
            ++separators;
        } else if (!(c >= '0' && c <= '9') && c != '-' && c != 'e' && c != 'E') {
            return std::nullopt;
        }
    }
    if (separators > 1)
        return std::nullopt;
    double value = 0;
    const char* const end = number.data() + number.size();
    const auto [stop, ec] = std::from_chars(number.data(), end, value);
    if (ec != std::errc{} || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace tafelix
