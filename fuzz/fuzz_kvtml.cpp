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
    KvtmlImport r = importKvtml(bytes);
    if (r.status == KvtmlImport::Status::Ambiguous && !r.languages.empty())
        r = importKvtml(bytes, {r.languages.back().id, KvtmlChoice::kAuto});
    if (r.status != KvtmlImport::Status::Ok)
        return 0;
    fuzz::checkWords(r.result.words);
    fuzz::checkRoundTrip(r.result.words, FileFormat::Kvtml);
    return 0;
}
