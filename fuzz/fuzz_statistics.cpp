// The statistics log on any bytes: every whole 168-byte record loads with its texts clamped
// to their fields, a cut-off tail is reported and dropped, and what was loaded writes and
// reads back the same (less the records without an answer count, which never belong in it).

#include "FuzzCheck.h"
#include "core/ShortText.h"
#include "core/StatisticsLog.h"

#include <array>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace tafelix;

namespace {

struct Field {
    std::size_t at;
    std::size_t width;
};
// Byte position and width of each column's ShortText in a record, in column order.
constexpr std::array<Field, StatisticsColumnCount> kFields{
    {{0, 100}, {101, 11}, {113, 10}, {124, 10}, {135, 10}, {146, 10}, {157, 10}}};

std::string scratchFolder()
{
    // tmpfs when there is one: the writer syncs every file.
    std::string tmpl =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/fuzz-stat-XXXXXX" : "/tmp/fuzz-stat-XXXXXX";
    FUZZ_CHECK(::mkdtemp(tmpl.data()) != nullptr);
    return tmpl;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int memFd = ::memfd_create("Statistik.dat", 0);
    static const std::string memPath = "/proc/self/fd/" + std::to_string(memFd);
    static const std::string folder = scratchFolder();
    static const std::string logPath = folder + "/Statistik.dat";
    FUZZ_CHECK(memFd >= 0);
    FUZZ_CHECK(::ftruncate(memFd, 0) == 0);
    FUZZ_CHECK(::pwrite(memFd, data, size, 0) == static_cast<ssize_t>(size));

    const StatisticsLoad load = loadStatisticsFile(memPath);
    FUZZ_CHECK(load.records.size() == size / kStatisticsRecordSize);
    if (size % kStatisticsRecordSize == 0) {
        FUZZ_CHECK(load.result);
    } else {
        FUZZ_CHECK(!load.result);
        FUZZ_CHECK(load.result.message == kReadPastEndText);
    }
    for (std::size_t i = 0; i < load.records.size(); ++i) {
        const unsigned char* rec = data + i * kStatisticsRecordSize;
        for (int c = 0; c < StatisticsColumnCount; ++c) {
            const Field f = kFields[static_cast<std::size_t>(c)];
            FUZZ_CHECK(statisticsCell(load.records[i], c) ==
                       readShortTextField(rec + f.at, f.width));
        }
    }

    std::vector<StatisticsRecord> kept;
    for (const StatisticsRecord& r : load.records) {
        if (!r.answers.empty())
            kept.push_back(r);
    }
    FUZZ_CHECK(writeStatisticsFile(logPath, load.records));
    const StatisticsLoad back = loadStatisticsFile(logPath);
    FUZZ_CHECK(back.result);
    FUZZ_CHECK(back.records == kept);
    return 0;
}
