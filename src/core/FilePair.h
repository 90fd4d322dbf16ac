#pragma once

#include "FileIo.h"

#include <string>
#include <string_view>

namespace tafelix {

// One file of a pair that is only of use together, such as a printout's text and its picture.
struct PairFile {
    std::string path;
    std::string_view bytes;
};

struct PairResult {
    IoResult io;
    int failed = 0; // 1 or 2: which of the two could not be written; 0 when both were
    explicit operator bool() const { return io.ok; }
};

// Writes both files atomically, the first one first. When the second cannot be written the
// first is put back as it was (or removed again when it was new), so the folder never holds a
// text beside a picture of another day.
PairResult writeFilePair(const PairFile& first, const PairFile& second);

} // namespace tafelix
