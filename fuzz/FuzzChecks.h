#pragma once

// Properties every import must keep, whatever the bytes: no more words than a vocabulary
// holds, every text fits the .vkb format, and what was imported survives its own export.

#include "convert/Converter.h"

#include <cstdlib>
#include <memory>

namespace tafelix::fuzz {

inline void check(bool ok)
{
    if (!ok)
        std::abort();
}

inline void checkWords(const std::vector<TWordEntry>& words)
{
    check(words.size() <= static_cast<std::size_t>(TWordTable::MaxWords));
    for (const TWordEntry& e : words)
        for (const auto* t : {&e.german, &e.foreign, &e.synonym, &e.remark}) {
            check(t->size() <= 100);
            for (char c : t->view())
                check(c != '\r' && c != '\x1A');
        }
}

// Exports the words in `format` and imports them again: the same words must come back.
inline void checkRoundTrip(const std::vector<TWordEntry>& words, convert::FileFormat format)
{
    using namespace convert;
    // One table for every run: a fresh 4 MB block each time would cost more than the parse.
    static const auto table = std::make_unique<TWordTable>();
    fillTable(words, *table);
    if (words.empty())
        table->ClearWords();
    std::string bytes;
    LossReport exportLosses;
    if (format == FileFormat::Kvtml)
        bytes = exportKvtml(*table, QStringLiteral("fuzz"), exportLosses);
    else
        bytes = exportCsv(*table, QLatin1Char(','));
    const ImportOutcome back = importBytes(bytes, format);
    check(back.status == ImportOutcome::Status::Ok);
    check(back.imported.words.size() == words.size());
    // Texts that lose nothing on the way must come back unchanged; LF (a line break) and
    // XML's forbidden controls are reported instead.
    if (exportLosses.empty() && back.imported.losses.empty())
        for (std::size_t i = 0; i < words.size(); ++i)
            check(back.imported.words[i] == words[i]);
}

} // namespace tafelix::fuzz
