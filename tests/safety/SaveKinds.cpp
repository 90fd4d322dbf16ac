#include "SaveKinds.h"

#include "core/FolderBackup.h"
#include "core/PrintText.h"
#include "core/RtfWriter.h"
#include "core/SettingsRecord.h"
#include "core/StatisticsLog.h"
#include "core/VocabularyFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <system_error>

namespace tafelix::safety {

namespace {

// Text bytes a learner might type, umlauts and other Windows-1252 letters included. The
// writers copy bytes, so the choice only has to look like real data and vary in length.
std::string someText(std::mt19937& rng, std::size_t minLen, std::size_t maxLen)
{
    static constexpr std::string_view kChars = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ"
                                               "\xe4\xf6\xfc\xc4\xd6\xdc\xdf\xe9\xe8\x80-.,;'()";
    std::uniform_int_distribution<std::size_t> len(minLen, maxLen);
    std::uniform_int_distribution<std::size_t> pick(0, kChars.size() - 1);
    std::string s(len(rng), ' ');
    for (char& c : s)
        c = kChars[pick(rng)];
    return s;
}

std::shared_ptr<TWordTable> makeTable(std::int32_t words, unsigned seed)
{
    auto table = std::make_shared<TWordTable>();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> box(1, 6);
    for (std::int32_t k = 1; k <= words; ++k) {
        TWordEntry& e = (*table)[k];
        e.box = box(rng);
        e.passes = box(rng) - 1;
        e.german = someText(rng, 60, 100);
        e.foreign = someText(rng, 60, 100);
        e.synonym = someText(rng, 30, 100);
        e.remark = someText(rng, 30, 100);
    }
    table->wordCount = words;
    table->currentIndex = words;
    return table;
}

std::vector<StatisticsRecord> makeLog(std::size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<StatisticsRecord> log(count);
    for (StatisticsRecord& r : log) {
        setStatisticsCell(r, ColumnFile, someText(rng, 5, 100));
        setStatisticsCell(r, ColumnDate, "24.12.2023");
        for (int c = ColumnAnswers; c < StatisticsColumnCount; ++c)
            setStatisticsCell(r, c, someText(rng, 1, 10));
    }
    return log;
}

SettingsRecord makeSettings(int variant)
{
    SettingsRecord r;
    r.lastFileName = variant == 0 ? "Englisch.vkb" : "Franz\xf6sisch Lektion 12.vkb";
    r.lastFolder = variant == 0 ? "/home/lena/Tafelix/Vokabeln/" : "/tmp/";
    r.searchField = variant == 0 ? "Deutsch" : "Fremdsprache";
    r.queryDirection = static_cast<std::uint8_t>(variant);
    r.caseMode = static_cast<std::uint8_t>(1 - variant);
    r.soundMode = static_cast<std::uint8_t>(variant);
    r.capacityPosition = variant == 0 ? 20 : 47;
    r.fontName = variant == 0 ? "" : "Times New Roman";
    r.fontSize = variant == 0 ? "10" : "14";
    return r;
}

std::string join(const std::string& dir, const std::string& name)
{
    return dir + "/" + name;
}

SaveOutcome plain(IoResult io)
{
    return {std::move(io), {}};
}

} // namespace

std::string makeBmp(int width, int height, unsigned seed)
{
    const auto rowBytes = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(height);
    const std::uint32_t fileSize = 14 + 40 + pixelBytes;
    std::string b;
    b.reserve(fileSize);
    const auto u16 = [&b](std::uint32_t v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
    };
    const auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    b += "BM";
    u32(fileSize);
    u32(0);
    u32(14 + 40);
    u32(40);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    u16(1);  // planes
    u16(24); // bits per pixel
    u32(0);  // no compression
    u32(pixelBytes);
    u32(2835); // 72 dpi
    u32(2835);
    u32(0);
    u32(0);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < width * 3; ++x)
            row[static_cast<std::size_t>(x)] = static_cast<char>(rng() & 0xFF);
        b += row;
    }
    return b;
}

std::vector<SaveKind> makeSaveKinds(Scale scale)
{
    const bool large = scale == Scale::Large;
    // Variant 1 is what the full-disk proof saves over variant 0, so there it is the larger.
    const std::array<std::shared_ptr<TWordTable>, 2> tables{makeTable(large ? 9999 : 40, 1),
                                                            makeTable(large ? 1000 : 200, 2)};
    std::array<std::string, 2> vkb{serializeVocabulary(*tables[0]),
                                   serializeVocabulary(*tables[1])};

    std::vector<SaveKind> kinds;

    kinds.push_back(
        {"Vokabeln", "Liste.vkb", vkb, nullptr, [tables](const std::string& dir, int v) {
             return plain(saveVocabularyFile(join(dir, "Liste.vkb"), *tables[v]));
         }});

    kinds.push_back(
        {"Backup .bkp", "Liste.bkp", vkb, nullptr, [tables](const std::string& dir, int v) {
             return plain(writeBackupCopy(join(dir, "Liste.vkb"), *tables[v]));
         }});

    const std::array<SettingsRecord, 2> settings{makeSettings(0), makeSettings(1)};
    std::array<std::string, 2> settingsBytes;
    for (std::size_t v = 0; v < 2; ++v) {
        const SettingsBytes b = encodeSettingsRecord(settings[v]);
        settingsBytes[v].assign(b.begin(), b.end());
    }
    kinds.push_back(
        {"Init.dat", "Init.dat", settingsBytes, nullptr, [settings](const std::string& dir, int v) {
             return plain(saveSettingsFile(join(dir, "Init.dat"), settings[v]));
         }});

    const std::array<std::vector<StatisticsRecord>, 2> logs{makeLog(large ? 20000 : 20, 3),
                                                            makeLog(large ? 500 : 300, 4)};
    std::array<std::string, 2> logBytes;
    for (std::size_t v = 0; v < 2; ++v)
        logBytes[v].assign(reinterpret_cast<const char*>(logs[v].data()),
                           logs[v].size() * kStatisticsRecordSize);
    // As a window changes the shared log: under the folder's lock, on the file as it is now.
    // Here the change takes out every record there and puts in the other variant's.
    kinds.push_back({"Statistik.dat", "Statistik.dat", logBytes, nullptr,
                     [logs](const std::string& dir, int v) {
                         const std::string path = join(dir, "Statistik.dat");
                         StatisticsChange change;
                         change.removeAll(loadStatisticsFile(path).records);
                         change.added = logs[v];
                         return plain(changeStatisticsFile(path, change));
                     }});

    std::array<PrintDocument, 2> docs;
    std::array<std::string, 2> rtf;
    for (std::size_t v = 0; v < 2; ++v) {
        buildVocabularyPrint(docs[v], *tables[v], "Liste.vkb", "01.02.2024", v == 1);
        rtf[v] = toRtf(docs[v]);
    }
    kinds.push_back({"RTF", "Liste.rtf", rtf, nullptr, [docs](const std::string& dir, int v) {
                         return plain(writeFileAtomically(join(dir, "Liste.rtf"), toRtf(docs[v])));
                     }});

    const std::array<std::string, 2> bmp{large ? makeBmp(640, 480, 5) : makeBmp(32, 24, 5),
                                         large ? makeBmp(64, 48, 6) : makeBmp(120, 90, 6)};
    kinds.push_back({"BMP", "Statistik.bmp", bmp, nullptr, [bmp](const std::string& dir, int v) {
                         return plain(writeFileAtomically(join(dir, "Statistik.bmp"), bmp[v]));
                     }});

    // Two program folders share one Ausgabe, so a backup run from folder v puts variant v's
    // word list there and the runs can alternate without rewriting the sources.
    kinds.push_back(
        {"Ordner-Backup", "P0/Ausgabe/Liste.vkb", vkb,
         [vkb](const std::string& dir) {
             for (int v = 0; v < 2; ++v) {
                 const std::string vocab = dir + "/P" + std::to_string(v) + "/Vokabeln";
                 makeFolders(vocab);
                 std::ofstream(vocab + "/Liste.vkb", std::ios::binary)
                     .write(vkb[static_cast<std::size_t>(v)].data(),
                            static_cast<std::streamsize>(vkb[static_cast<std::size_t>(v)].size()));
             }
             makeFolders(dir + "/P0/Ausgabe");
             std::error_code ec;
             std::filesystem::create_directory_symlink("../P0/Ausgabe", dir + "/P1/Ausgabe", ec);
         },
         [](const std::string& dir, int v) {
             const BackupReport report = backupVocabularies(dir + "/P" + std::to_string(v) + "/");
             SaveOutcome out;
             if (report.found != 1)
                 out.fault = "the backup found " + std::to_string(report.found) + " files";
             if (!report.failed.empty())
                 out.io = IoResult::failure(0, report.failed.front().reason);
             return out;
         }});

    return kinds;
}

std::string readFileOrEmpty(const std::string& path, bool& exists)
{
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    return exists ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
}

std::vector<std::string> listFolder(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool makeFolders(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec;
}

std::string makeTempFolder(const std::string& prefix)
{
    std::error_code ec;
    std::string tmpl = (std::filesystem::temp_directory_path(ec) / (prefix + "-XXXXXX")).string();
    return ::mkdtemp(tmpl.data()) ? tmpl : std::string();
}

void removeTree(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

} // namespace tafelix::safety
