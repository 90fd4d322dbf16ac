// The settings record both ways. Reading: any file of at least one record loads as the
// decoding of its first 329 bytes, a shorter one is refused without touching the settings.
// Writing: encode -> decode -> encode is stable, and what a record says survives cut to its
// fields.

#include "FuzzCheck.h"
#include "core/SettingsRecord.h"

#include <algorithm>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace tafelix;

namespace {

std::string cut(const std::string& s, std::size_t n)
{
    return s.substr(0, std::min(s.size(), n));
}

// An in-memory file with a path, so the real reader runs without touching the disk.
const std::string& memoryFilePath(int& fd)
{
    static int memFd = ::memfd_create("Init.dat", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(memFd);
    fd = memFd;
    return path;
}

void checkCodec(const SettingsRecord& decoded)
{
    const SettingsBytes encoded = encodeSettingsRecord(decoded);
    const SettingsRecord again = decodeSettingsRecord(encoded);
    FUZZ_CHECK(again == decoded);
    FUZZ_CHECK(encodeSettingsRecord(again) == encoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int fd = -1;
    const std::string& path = memoryFilePath(fd);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::ftruncate(fd, 0) == 0);
    FUZZ_CHECK(::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));

    SettingsRecord sentinel;
    sentinel.lastFileName = "unber\xfchrt.vkb";
    sentinel.capacityPosition = 33;
    SettingsRecord loaded = sentinel;
    const IoResult r = loadSettingsFile(path, loaded);

    SettingsBytes first{};
    std::memcpy(first.data(), data, std::min(size, first.size()));
    const SettingsRecord decoded = decodeSettingsRecord(first);
    if (size < kSettingsRecordSize) {
        FUZZ_CHECK(!r);
        FUZZ_CHECK(r.message == kReadPastEndText);
        FUZZ_CHECK(loaded == sentinel);
    } else {
        FUZZ_CHECK(r);
        FUZZ_CHECK(loaded == decoded);
    }
    checkCodec(decoded);
    // The choice bytes are kept as stored; clamping is the settings page's business.
    const SettingsBytes reencoded = encodeSettingsRecord(decoded);
    FUZZ_CHECK(std::equal(first.begin() + 218, first.begin() + 225, reencoded.begin() + 218));

    // The other way: a record made of arbitrary texts and choices.
    FuzzedDataProvider fdp(data, size);
    SettingsRecord made;
    made.lastFileName = fdp.ConsumeRandomLengthString(300);
    made.lastFolder = fdp.ConsumeRandomLengthString(300);
    made.searchField = fdp.ConsumeRandomLengthString(40);
    made.fontName = fdp.ConsumeRandomLengthString(300);
    made.fontSize = fdp.ConsumeRandomLengthString(8);
    made.queryDirection = fdp.ConsumeIntegral<std::uint8_t>();
    made.caseMode = fdp.ConsumeIntegral<std::uint8_t>();
    made.statisticsMode = fdp.ConsumeIntegral<std::uint8_t>();
    made.soundMode = fdp.ConsumeIntegral<std::uint8_t>();
    made.printLimitMode = fdp.ConsumeIntegral<std::uint8_t>();
    made.extraFieldsMode = fdp.ConsumeIntegral<std::uint8_t>();
    made.capacityPosition = fdp.ConsumeIntegral<std::uint8_t>();
    SettingsRecord expected = made;
    expected.lastFileName = cut(made.lastFileName, 100);
    expected.lastFolder = cut(made.lastFolder, 100);
    expected.searchField = cut(made.searchField, 15);
    expected.fontName = cut(made.fontName, 100);
    expected.fontSize = cut(made.fontSize, 2);
    FUZZ_CHECK(decodeSettingsRecord(encodeSettingsRecord(made)) == expected);
    return 0;
}
