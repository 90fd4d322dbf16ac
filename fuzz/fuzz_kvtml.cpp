// libFuzzer harness for the KVTML import, with the languages decided and, when the file
// leaves them open, chosen the way a learner might.

#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tafelix;
using namespace tafelix::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ImportOutcome r = importKvtml(bytes);
    if (r.status == ImportOutcome::Status::Ambiguous && !r.languages.empty())
        r = importKvtml(bytes, {r.languages.back().id, KvtmlChoice::kAuto});
    if (r.status != ImportOutcome::Status::Ok)
        return 0;
    fuzz::checkWords(r.imported.words);
    fuzz::checkRoundTrip(r.imported.words, FileFormat::Kvtml);
    return 0;
}
