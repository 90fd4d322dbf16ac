#include "FilePair.h"

#include <cstdio>

namespace tafelix {

PairResult writeFilePair(const PairFile& first, const PairFile& second)
{
    std::string previous;
    const bool existed = static_cast<bool>(readWholeFile(first.path, previous));
    if (IoResult r = writeFileAtomically(first.path, first.bytes); !r)
        return {std::move(r), 1};
    if (IoResult r = writeFileAtomically(second.path, second.bytes); !r) {
        if (existed)
            writeFileAtomically(first.path, previous);
        else
            std::remove(first.path.c_str());
        return {std::move(r), 2};
    }
    return {};
}

} // namespace tafelix
