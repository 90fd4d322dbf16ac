#pragma once

#include "LossReport.h"
#include "core/ShortText.h"
#include "core/WordTable.h"

#include <QString>

#include <string>
#include <string_view>

namespace tafelix::convert {

// Turns one field of Unicode text into what a word table holds: at most 100 Windows-1252
// bytes without CR or Ctrl-Z, which the .vkb format cannot carry inside a line. Everything
// changed on the way is counted in `losses`, with `where` ("Zeile 4") naming the place.
std::string toTableText(const QString& text, LossReport& losses, std::string_view where);

// The bytes of a file that is already UTF-8 or Windows-1252.
enum class ByteEncoding { Utf8, Windows1252 };

// A field's bytes as the file holds them. In a quoted CSV field a doubled quote stands for
// one; undoubling them is left to whoever reads the field, so that most fields need no copy.
struct FieldBytes {
    FieldBytes() = default;
    FieldBytes(std::string_view bytes, bool doubled = false) // NOLINT: plain bytes convert
        : raw(bytes), doubledQuotes(doubled)
    {}
    std::string_view raw;
    bool doubledQuotes = false;

    // The field's own bytes, quotes undoubled; a view of `raw` when there is nothing to undo.
    std::string_view text(std::string& buffer) const;
};

// toTableText for text still in its file's bytes: the same result and the same losses, but
// the common case (Latin script, composed umlauts) goes straight from byte to byte. The
// place is `wherePrefix` and `whereNumber` ("Zeile " and 4), spelt out only for a loss.
void bytesToTableText(const FieldBytes& bytes, ByteEncoding encoding, ShortText100& into,
                      LossReport& losses, std::string_view wherePrefix, int whereNumber);

QString decodeBytes(std::string_view bytes, ByteEncoding encoding);

// Whether the bytes are empty or white space only, as QString::trimmed() would find.
bool isBlankBytes(std::string_view bytes, ByteEncoding encoding);

// A compartment outside 0..6 (6 is the archive, 0 an empty entry) or negative passes moved to
// the nearest valid value, and reported with the place ("Zeile " and 4).
void keepInRange(TWordEntry& e, LossReport& losses, std::string_view wherePrefix, int whereNumber);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Table text back to Unicode, every byte one to one.
QString fromTableText(std::string_view bytes);

// A short UTF-8 quotation of a text for the report's examples.
std::string quoteForReport(const QString& text);

} // namespace tafelix::convert
