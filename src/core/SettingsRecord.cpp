#include "SettingsRecord.h"

#include "ShortText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tafelix {

namespace {

// Byte positions and widths (n of ShortText(n)) of the record's fields. The two bytes at 220
// and 221 hold the logging choice before the sound choice, unlike the page's order.
constexpr std::size_t kLastFileNameAt = 0, kLastFileNameWidth = 100;
constexpr std::size_t kLastFolderAt = 101, kLastFolderWidth = 100;
constexpr std::size_t kSearchFieldAt = 202, kSearchFieldWidth = 15;
constexpr std::size_t kQueryDirectionAt = 218;
constexpr std::size_t kCaseModeAt = 219;
constexpr std::size_t kStatisticsModeAt = 220;
constexpr std::size_t kSoundModeAt = 221;
constexpr std::size_t kPrintLimitModeAt = 222;
constexpr std::size_t kExtraFieldsModeAt = 223;
constexpr std::size_t kCapacityPositionAt = 224;
constexpr std::size_t kFontNameAt = 225, kFontNameWidth = 100;
constexpr std::size_t kFontSizeAt = 326, kFontSizeWidth = 2;
static_assert(kFontSizeAt + 1 + kFontSizeWidth == kSettingsRecordSize);

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

SettingsBytes encodeSettingsRecord(const SettingsRecord& record)
{
    SettingsBytes b{};
    writeShortTextField(&b[kLastFileNameAt], kLastFileNameWidth, record.lastFileName);
    writeShortTextField(&b[kLastFolderAt], kLastFolderWidth, record.lastFolder);
    writeShortTextField(&b[kSearchFieldAt], kSearchFieldWidth, record.searchField);
    b[kQueryDirectionAt] = record.queryDirection;
    b[kCaseModeAt] = record.caseMode;
    b[kStatisticsModeAt] = record.statisticsMode;
    b[kSoundModeAt] = record.soundMode;
    b[kPrintLimitModeAt] = record.printLimitMode;
    b[kExtraFieldsModeAt] = record.extraFieldsMode;
    b[kCapacityPositionAt] = record.capacityPosition;
    writeShortTextField(&b[kFontNameAt], kFontNameWidth, record.fontName);
    writeShortTextField(&b[kFontSizeAt], kFontSizeWidth, record.fontSize);
    return b;
}

SettingsRecord decodeSettingsRecord(std::span<const unsigned char, kSettingsRecordSize> bytes)
{
    const unsigned char* b = bytes.data();
    SettingsRecord r;
    r.lastFileName = readShortTextField(b + kLastFileNameAt, kLastFileNameWidth);
    r.lastFolder = readShortTextField(b + kLastFolderAt, kLastFolderWidth);
    r.searchField = readShortTextField(b + kSearchFieldAt, kSearchFieldWidth);
    r.queryDirection = b[kQueryDirectionAt];
    r.caseMode = b[kCaseModeAt];
    r.statisticsMode = b[kStatisticsModeAt];
    r.soundMode = b[kSoundModeAt];
    r.printLimitMode = b[kPrintLimitModeAt];
    r.extraFieldsMode = b[kExtraFieldsModeAt];
    r.capacityPosition = b[kCapacityPositionAt];
    r.fontName = readShortTextField(b + kFontNameAt, kFontNameWidth);
    r.fontSize = readShortTextField(b + kFontSizeAt, kFontSizeWidth);
    return r;
}

int clampChoice(std::uint8_t stored, int optionCount)
{
    const int last = std::max(optionCount - 1, 0);
    return std::min(static_cast<int>(stored), last);
}

int clampCapacity(std::uint8_t stored)
{
    return std::clamp(static_cast<int>(stored), kMinCapacityPosition, kMaxCapacityPosition);
}

void storeOpenFileName(SettingsRecord& record, std::string_view openFileName)
{
    record.lastFileName = fileNamePart(openFileName);
    record.lastFolder = folderPart(openFileName);
}

IoResult loadSettingsFile(const std::string& path, SettingsRecord& out)
{
    Fd f;
    if (IoResult r = openRegularFile(path, f.fd); !r)
        return r;

    SettingsBytes bytes{};
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t n = ::read(f.fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            const int err = errno;
            if (err == EINTR)
                continue;
            return IoResult::failure(err, ioErrorText(err));
        }
        if (n == 0)
            return IoResult::failure(ENODATA, std::string(kReadPastEndText));
        used += static_cast<std::size_t>(n);
    }
    out = decodeSettingsRecord(bytes);
    return IoResult::success();
}

IoResult saveSettingsFile(const std::string& path, const SettingsRecord& record)
{
    const SettingsBytes bytes = encodeSettingsRecord(record);
    return writeFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace tafelix
