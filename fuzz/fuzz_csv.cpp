// libFuzzer harness for the CSV/TSV import: detection, preview, column guess and import.

#include "FuzzChecks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

using namespace tafelix;
using namespace tafelix::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const CsvFormat format = detectCsvFormat(bytes);
    const auto preview = previewCsv(bytes, format);
    const CsvColumns columns = guessCsvColumns(preview);
    const ImportedWords imported = importCsv(bytes, format, columns);
    fuzz::checkWords(imported.words);
    fuzz::checkRoundTrip(imported.words, FileFormat::Csv);

    // The import into a table, over whatever the last input left there, must give the same.
    static const auto table = std::make_unique<TWordTable>();
    static std::int32_t lastCount = 0;
    LossReport losses;
    const std::int32_t n = importCsv(bytes, format, columns, *table, losses);
    fuzz::check(n == static_cast<std::int32_t>(imported.words.size()));
    fuzz::check(losses.summary() == imported.losses.summary());
    fuzz::check(std::equal(imported.words.begin(), imported.words.end(), &(*table)[1]));
    for (std::int32_t k = std::max(n, table->wordCount) + 1; k <= std::max(lastCount, n + 1); ++k)
        fuzz::check(k > TWordTable::MaxWords || (*table)[k] == EmptyEntry);
    lastCount = table->wordCount;
    return 0;
}
