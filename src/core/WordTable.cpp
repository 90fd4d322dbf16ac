#include "WordTable.h"

namespace tafelix {

void TWordTable::ClearTable()
{
    for (std::int32_t k = 1; k <= MaxWords; ++k)
        entries_[static_cast<std::size_t>(k)] = EmptyEntry;
}

void TWordTable::ClearWords()
{
    for (std::int32_t k = wordCount; k >= 1; --k) {
        (*this)[k] = EmptyEntry;
        --wordCount;
    }
    wordCount = 0;
}

AppendResult TWordTable::AppendWord()
{
    if (wordCount >= MaxWords)
        return AppendResult::TableFull;
    ++wordCount;
    currentIndex = wordCount;
    (*this)[wordCount].box = 1;
    (*this)[wordCount].passes = 0;
    return AppendResult::Appended;
}

void TWordTable::DeleteWord()
{
    // A currentIndex outside the words (a damaged state) must not shift foreign slots.
    const std::int32_t from = currentIndex < 0 ? 0 : currentIndex;
    for (std::int32_t k = from; k <= wordCount - 1; ++k)
        (*this)[k] = (*this)[k + 1];
    (*this)[wordCount] = EmptyEntry;
    if (wordCount > 1)
        --wordCount;
    if (currentIndex > wordCount)
        currentIndex = wordCount;
    modified = true;
}

} // namespace tafelix
