#pragma once

#include "WordTable.h"

#include <array>
#include <cstdint>

namespace tafelix {

// Words per compartment: index 0..4 are compartments 1..5, index 5 is the archive.
using CompartmentCounts = std::array<std::int32_t, 6>;

inline constexpr std::int32_t kArchiveBox = 6;

// Words 1..wordCount whose box is 1..6; other boxes count nowhere.
CompartmentCounts countCompartments(const TWordTable& table);

// Maximum sizes of compartments 2..5. Compartment 1 and the archive have none.
struct CompartmentMaxima {
    std::int32_t max2 = 20;
    std::int32_t max3 = 35;
    std::int32_t max4 = 50;
    std::int32_t max5 = 65;

    friend bool operator==(const CompartmentMaxima&, const CompartmentMaxima&) = default;
};

// p, p * 1.75, p * 2.5, p * 3.25, each with the fraction cut off.
CompartmentMaxima maximaForSlider(int p);

// Full flags of compartments 2..5 (index 0 is compartment 2). A flag is set when its
// compartment reaches its maximum and stays set until the compartment is down to 80 %.
using FullFlags = std::array<bool, 4>;

enum class Selection { WordChosen, NoWordLeft };

// Moves the cursor (table.currentIndex) to the next word to ask: the highest full compartment
// first, then the fullest higher compartment when compartment 1 runs low, else the lowest
// non-empty one. `counts` are those of the last recount. Sets full flags, never clears them.
// NoWordLeft when compartments 1..5 are all empty; the cursor has still advanced by one.
Selection SelectNextWord(TWordTable& table, const CompartmentCounts& counts,
                         const CompartmentMaxima& maxima, FullFlags& full);

// Cyclic scan from the cursor to the next word in compartment k. When there is none it gives
// up after wordCount + 1 steps and leaves the cursor where it stopped.
void FindInCompartment(TWordTable& table, int k);

// Clears the flag of every compartment that is down to 80 % of its maximum or below.
void ReleaseFullCompartments(const CompartmentCounts& counts, const CompartmentMaxima& maxima,
                             FullFlags& full);

} // namespace tafelix
