#include "CardBox.h"

#include <algorithm>

namespace tafelix {

namespace {

// A damaged wordCount must never lead the scans outside the table.
std::int32_t usableCount(const TWordTable& table)
{
    return std::clamp(table.wordCount, std::int32_t{0}, TWordTable::MaxWords);
}

std::int32_t maximumOf(const CompartmentMaxima& m, int k)
{
    switch (k) {
    case 2:
        return m.max2;
    case 3:
        return m.max3;
    case 4:
        return m.max4;
    default:
        return m.max5;
    }
}

std::int32_t countOf(const CompartmentCounts& counts, int k)
{
    return counts[static_cast<std::size_t>(k - 1)];
}

bool& flagOf(FullFlags& full, int k)
{
    return full[static_cast<std::size_t>(k - 2)];
}

} // namespace

CompartmentCounts countCompartments(const TWordTable& table)
{
    CompartmentCounts counts{};
    const std::int32_t n = usableCount(table);
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t box = table[i].box;
        if (box >= 1 && box <= kArchiveBox)
            ++counts[static_cast<std::size_t>(box - 1)];
    }
    return counts;
}

CompartmentMaxima maximaForSlider(int p)
{
    // Integer arithmetic truncates exactly like cutting the fraction off the product (the
    // factors are quarters), and it cannot round 11 * 2.5 up to 28.
    return {p, p * 175 / 100, p * 250 / 100, p * 325 / 100};
}

void FindInCompartment(TWordTable& table, int k)
{
    const std::int32_t n = usableCount(table);
    std::int32_t cursor = table.currentIndex;
    if (cursor < 1 || cursor > std::max(n, std::int32_t{1}))
        cursor = 1;
    for (std::int32_t steps = 0;; ++steps) {
        if (table[cursor].box == k || steps > n)
            break;
        cursor = cursor >= n ? 1 : cursor + 1;
    }
    table.currentIndex = cursor;
}

Selection SelectNextWord(TWordTable& table, const CompartmentCounts& counts,
                         const CompartmentMaxima& maxima, FullFlags& full)
{
    const std::int32_t n = usableCount(table);
    table.currentIndex =
        (table.currentIndex < 1 || table.currentIndex >= n) ? 1 : table.currentIndex + 1;

    for (int k = 5; k >= 2; --k) {
        if (countOf(counts, k) >= maximumOf(maxima, k))
            flagOf(full, k) = true;
    }

    for (int k = 5; k >= 2; --k) {
        if (flagOf(full, k)) {
            FindInCompartment(table, k);
            return Selection::WordChosen;
        }
    }

    // Compartment 1 running low: serve the fullest higher compartment so that words keep
    // flowing instead of the same few being asked over and over.
    const std::int32_t c1 = countOf(counts, 1);
    if (c1 < 10) {
        int fullest = 2;
        for (int k = 3; k <= 5; ++k) {
            if (countOf(counts, k) > countOf(counts, fullest))
                fullest = k;
        }
        if (c1 < countOf(counts, fullest)) {
            FindInCompartment(table, fullest);
            return Selection::WordChosen;
        }
    }

    for (int k = 1; k <= 5; ++k) {
        if (countOf(counts, k) > 0) {
            FindInCompartment(table, k);
            return Selection::WordChosen;
        }
    }
    return Selection::NoWordLeft;
}

void ReleaseFullCompartments(const CompartmentCounts& counts, const CompartmentMaxima& maxima,
                             FullFlags& full)
{
    for (int k = 5; k >= 2; --k) {
        const std::int64_t max = maximumOf(maxima, k);
        // No slider position gives a maximum of 0; should one arrive anyway, the flag is
        // dropped rather than dividing by it.
        if (max <= 0 || std::int64_t{countOf(counts, k)} * 100 / max <= 80)
            flagOf(full, k) = false;
    }
}

} // namespace tafelix
