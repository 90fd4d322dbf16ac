// libFuzzer harness for the KVTML import, with the languages decided and, when the file
// leaves them open, chosen the way a learner might.

#include "FuzzCheck.h"
#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

using namespace tafelix;
using namespace tafelix::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    KvtmlImport r = importKvtml(bytes);
    // Parsed in a buffer of its own, the same bytes give the same outcome, unless the
    // parser refuses them (then the caller falls back to the copy).
    std::string scratch(bytes);
    if (const std::optional<KvtmlImport> inPlace = importKvtmlInPlace(scratch)) {
        FUZZ_CHECK(inPlace->status == r.status && inPlace->message == r.message);
        FUZZ_CHECK(inPlace->result.words == r.result.words);
    }
    if (r.status == KvtmlImport::Status::Ambiguous && !r.languages.empty())
        r = importKvtml(bytes, {r.languages.back().id, KvtmlChoice::kAuto});
    if (r.status != KvtmlImport::Status::Ok)
        return 0;
    fuzz::checkWords(r.result.words);
    fuzz::checkRoundTrip(r.result.words, FileFormat::Kvtml);
    return 0;
}
