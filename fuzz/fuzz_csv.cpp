// libFuzzer harness for the CSV/TSV import: detection, preview, column guess and import.

#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>

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
    return 0;
}
