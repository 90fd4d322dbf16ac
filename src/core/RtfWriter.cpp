#include "RtfWriter.h"

namespace tafelix {

namespace {

void appendHexByte(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\'";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// Text bytes as RTF. `inFontTable` drops ';', which would end the font's name early.
void appendEscaped(std::string& out, const std::string& text, bool inFontTable)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t' && !inFontTable)
            out += "\\tab ";
        else if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (c == ';' && inFontTable)
            continue;
        else if (byte >= 0x80 || byte < 0x20 || byte == 0x7F)
            appendHexByte(out, byte);
        else
            out += c;
    }
}

} // namespace

std::string toRtf(const PrintDocument& document)
{
    // Every paragraph restates its tab stops and font, so a reader that resets formatting
    // at a paragraph start still sees the document's layout on each line.
    std::string paragraphStart = "\\pard";
    for (const int pt : document.tabStopsPt)
        paragraphStart += "\\tx" + std::to_string(pt * 20);
    paragraphStart += "\\f0\\fs" + std::to_string(document.pointSize * 2) + ' ';

    std::string out;
    out.reserve(256 + document.lines.size() * (paragraphStart.size() + 80));
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 ";
    appendEscaped(out, document.fontName, true);
    out += ";}}\r\n";
    // A4 with 1 cm margins: a full rule of 105 characters in the 8-point preset font fits.
    out += "\\paperw11906\\paperh16838\\margl567\\margr567\\margt567\\margb567\r\n";
    for (const std::string& line : document.lines) {
        out += paragraphStart;
        appendEscaped(out, line, false);
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

} // namespace tafelix
