// The .vkb reader on any bytes. Beyond not crashing: a refused file leaves the learner's
// table exactly as it was, and a loaded one saves and reloads to the same words and bytes.

#include "FuzzCheck.h"
#include "core/VocabularyFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

using namespace tafelix;

namespace {

// The state a session leaves before the learner opens another file: three words, the second
// current, unsaved edits.
void setUpSession(TWordTable& t)
{
    t.wordCount = 3;
    t.currentIndex = 2;
    t.modified = true;
    for (std::int32_t k = 1; k <= 3; ++k) {
        t[k].box = k;
        t[k].passes = 10 * k;
        t[k].german = "Haus";
        t[k].foreign = "house";
        t[k].synonym = "\xe4\xf6\xfc";
        t[k].remark = std::string_view("a\0b", 3);
    }
}

// Byte for byte, not just the texts: a loader that scribbled past a text's length would show
// here. An entry has no padding, so its bytes are its value.
static_assert(sizeof(TWordEntry) == 2 * 4 + 4 * 101);

bool sameSlots(const TWordTable& a, const TWordTable& b, std::int32_t first, std::int32_t last)
{
    if (first > last)
        return true;
    return std::memcmp(&a[first], &b[first],
                       static_cast<std::size_t>(last - first + 1) * sizeof(TWordEntry)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Three 4 MB tables, made once: the harness resets only the slots a run touched.
    static TWordTable& table = *new TWordTable;
    static TWordTable& snapshot = *new TWordTable;
    static TWordTable& reloaded = *new TWordTable;
    static const TWordTable& blank = *new TWordTable;
    static const bool ready = (setUpSession(table), setUpSession(snapshot), true);
    (void)ready;

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const LoadResult r = loadVocabulary(bytes, table);

    if (r.status != LoadStatus::Ok) {
        FUZZ_CHECK(r.status != LoadStatus::ReadError);
        FUZZ_CHECK(table.wordCount == snapshot.wordCount);
        FUZZ_CHECK(table.currentIndex == snapshot.currentIndex);
        FUZZ_CHECK(table.modified == snapshot.modified);
        FUZZ_CHECK(sameSlots(table, snapshot, 0, TWordTable::MaxWords));
        return 0;
    }

    const std::int32_t count = r.wordCount;
    FUZZ_CHECK(count >= 0 && count <= TWordTable::MaxWords);
    FUZZ_CHECK(table.wordCount == count);
    FUZZ_CHECK(table.currentIndex == count);
    FUZZ_CHECK(table.modified);
    FUZZ_CHECK(sameSlots(table, blank, count + 1, TWordTable::MaxWords));

    const std::string saved = serializeVocabulary(table);
    const LoadResult again = loadVocabulary(saved, reloaded);
    FUZZ_CHECK(again.status == LoadStatus::Ok);
    FUZZ_CHECK(again.wordCount == count);
    FUZZ_CHECK(sameSlots(table, reloaded, 1, count));
    FUZZ_CHECK(serializeVocabulary(reloaded) == saved);

    // Back to the session for the next input.
    for (std::int32_t k = 1; k <= std::max(count, 3); ++k)
        table[k] = snapshot[k];
    table.wordCount = snapshot.wordCount;
    table.currentIndex = snapshot.currentIndex;
    table.modified = snapshot.modified;
    return 0;
}
