#pragma once

#include "ShortText.h"

#include <array>
#include <cstdint>

namespace tafelix {

// One vocabulary entry. box: 1..5 compartments, 6 archive, 0 free slot; other values are
// kept as loaded and belong to no compartment.
struct TWordEntry {
    std::int32_t box = 0;
    std::int32_t passes = 0;
    ShortText100 german;
    ShortText100 foreign;
    ShortText100 synonym;
    ShortText100 remark;

    friend bool operator==(const TWordEntry&, const TWordEntry&) = default;
};

inline const TWordEntry EmptyEntry{};

// An empty slot is all zero bytes, without padding: a table that starts in zero-filled
// memory is a table of empty slots, and whole entries compare by their bytes.
static_assert(sizeof(TWordEntry) == 2 * sizeof(std::int32_t) + 4 * sizeof(ShortText100));

enum class AppendResult { Appended, TableFull };

// The program's one vocabulary: a fixed block of slots that is never reallocated, so no
// table operation allocates. Position 0 is a scratch slot outside the vocabulary. Its
// constructor is constexpr, so the program's table can be a constinit static in zero pages.
class TWordTable {
public:
    static constexpr std::int32_t MaxWords = 9999;

    TWordEntry& operator[](std::int32_t pos) { return entries_[static_cast<std::size_t>(pos)]; }
    const TWordEntry& operator[](std::int32_t pos) const
    {
        return entries_[static_cast<std::size_t>(pos)];
    }

    // Every slot 1..MaxWords becomes EmptyEntry; counters, flag and scratch stay.
    void ClearTable();
    // Empties slots wordCount..1 and ends with wordCount 0; currentIndex stays.
    void ClearWords();
    // Adds word wordCount + 1 in compartment 1 and makes it current; refused at MaxWords.
    AppendResult AppendWord();
    // Removes the current word; a sole word is blanked rather than removed.
    void DeleteWord();

    std::int32_t wordCount = 0;
    std::int32_t currentIndex = 0;
    bool modified = false;

    // The current entry, or the scratch slot while there is no current word.
    TWordEntry& current() { return (*this)[currentIndex]; }

private:
    std::array<TWordEntry, MaxWords + 1> entries_{};
};

} // namespace tafelix
