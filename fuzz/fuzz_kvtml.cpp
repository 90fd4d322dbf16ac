// libFuzzer harness for the KVTML import, with the languages decided and, when the file
// leaves them open, chosen the way a learner might.

#include "FuzzCheck.h"
#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

using namespace tafelix;
using namespace tafelix::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    KvtmlImport r = importKvtml(bytes, {}, SIZE_MAX);
    const auto same = [&r](const KvtmlImport& other) {
        FUZZ_CHECK(other.status == r.status && other.message == r.message);
        FUZZ_CHECK(other.result.words == r.result.words);
        FUZZ_CHECK(other.result.losses.summary() == r.result.losses.summary());
    };
    // Cut into pieces as small as a few tags, so that short inputs are cut too: every cut
    // the parser takes gives what the whole document gives.
    constexpr std::size_t kTinyPieces = 16;
    same(importKvtml(bytes, {}, kTinyPieces));
    // Parsed in a buffer of its own, the same bytes give the same outcome, unless the
    // parser refuses them (then the caller falls back to the copy).
    for (const std::size_t pieces : {kKvtmlPieceBytes, kTinyPieces}) {
        std::string scratch(bytes);
        if (const std::optional<KvtmlImport> inPlace = importKvtmlInPlace(scratch, {}, pieces))
            same(*inPlace);
    }
    // And read from a file piece by piece as it is parsed, where that is taken at all.
    if (const int fd = ::memfd_create("kvtml", MFD_CLOEXEC); fd != -1) {
        if (::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()))
            if (const std::optional<KvtmlImport> file = importKvtmlFile(fd, size, {}, kTinyPieces))
                same(*file);
        ::close(fd);
    }
    if (r.status == KvtmlImport::Status::Ambiguous && !r.languages.empty())
        r = importKvtml(bytes, {r.languages.back().id, KvtmlChoice::kAuto});
    if (r.status != KvtmlImport::Status::Ok)
        return 0;
    fuzz::checkWords(r.result.words);
    fuzz::checkRoundTrip(r.result.words, FileFormat::Kvtml);
    return 0;
}
