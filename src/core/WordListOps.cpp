#include "WordListOps.h"

#include <algorithm>

namespace tafelix {

namespace {

unsigned char upperAscii(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

unsigned char lowerAscii(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

const ShortText100& fieldOf(const TWordEntry& e, WordField field)
{
    switch (field) {
    case WordField::Foreign:
        return e.foreign;
    case WordField::Synonym:
        return e.synonym;
    case WordField::Remark:
        return e.remark;
    default:
        return e.german;
    }
}

bool keyLess(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = lowerAscii(a[i]);
        const unsigned char y = lowerAscii(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

} // namespace

WordField fieldFromName(std::string_view name)
{
    if (name == "Deutsch")
        return WordField::German;
    if (name == "Fremdsprache")
        return WordField::Foreign;
    if (name == "Synonym")
        return WordField::Synonym;
    if (name == "Bemerkung")
        return WordField::Remark;
    return WordField::None;
}

bool containsFolded(std::string_view text, std::string_view fragment)
{
    if (fragment.empty() || fragment.size() > text.size())
        return false;
    const auto hit = std::search(text.begin(), text.end(), fragment.begin(), fragment.end(),
                                 [](char a, char b) { return upperAscii(a) == upperAscii(b); });
    return hit != text.end();
}

std::int32_t findNextWord(const TWordTable& table, WordField field, std::string_view fragment)
{
    if (field == WordField::None)
        return 0;
    std::int32_t k = table.currentIndex;
    for (std::int32_t step = 0; step < table.wordCount; ++step) {
        k = k + 1 > table.wordCount ? 1 : k + 1;
        if (containsFolded(fieldOf(table[k], field).view(), fragment))
            return k;
    }
    return 0;
}

void sortWords(TWordTable& table, bool byForeign)
{
    if (table.wordCount < 2)
        return;
    TWordEntry* first = &table[1];
    TWordEntry* last = first + table.wordCount;
    std::stable_sort(first, last, [byForeign](const TWordEntry& a, const TWordEntry& b) {
        return byForeign ? keyLess(a.foreign.view(), b.foreign.view())
                         : keyLess(a.german.view(), b.german.view());
    });
}

void shuffleWords(TWordTable& table, const std::function<int(int)>& below)
{
    const std::int32_t n = table.wordCount;
    if (n < 2)
        return;
    for (std::int32_t i = 0; i < n / 2; ++i) {
        // A generator that strays out of range must not reach past the words.
        const std::int32_t a = std::clamp(below(n), 0, n - 1);
        const std::int32_t b = std::clamp(below(n), 0, n - 1);
        table[0] = table[a + 1];
        table[a + 1] = table[n - b];
        table[n - b] = table[0];
    }
}

void resetWords(TWordTable& table)
{
    for (std::int32_t k = 1; k <= table.wordCount; ++k) {
        table[k].box = 1;
        table[k].passes = 0;
    }
}

} // namespace tafelix
