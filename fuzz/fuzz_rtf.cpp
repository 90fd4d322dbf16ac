// The RTF writer on a document made of arbitrary bytes. A small reader parses the result
// back: the file must be 7-bit, its groups must balance, and it must hold exactly the
// document's lines as paragraphs, each with the document's tab stops and size, and the font
// name (less the ';' that would end it early).

#include "FuzzCheck.h"
#include "core/RtfWriter.h"

#include <cctype>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

using namespace tafelix;

namespace {

struct Paragraph {
    std::string text;
    std::vector<int> tabStops; // \txN values
    int fontSize = -1;         // \fsN
};

struct ParsedRtf {
    std::string error;
    std::string fontName;
    std::vector<Paragraph> paragraphs;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads just what the writer produces: the font table's one entry, page settings, and
// \pard ... \par paragraphs in the top group. Anything else is an error.
ParsedRtf parseRtf(const std::string& rtf)
{
    ParsedRtf out;
    int depth = 0;
    bool inParagraph = false;
    bool fontNameDone = false;
    Paragraph current;
    const auto fail = [&out](std::string why) {
        if (out.error.empty())
            out.error = std::move(why);
    };
    // Text goes into the open paragraph, or into the font name inside the font entry.
    const auto text = [&](char c) {
        if (depth == 1 && inParagraph)
            current.text += c;
        else if (depth == 3 && !fontNameDone)
            out.fontName += c;
        else
            fail("text outside a paragraph");
    };
    std::size_t i = 0;
    while (i < rtf.size() && out.error.empty()) {
        const char c = rtf[i++];
        if (static_cast<unsigned char>(c) >= 0x80) {
            fail("a byte above 127");
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0 && rtf.substr(i) != "\r\n")
                fail("something after the closing brace");
            if (depth < 0)
                fail("unbalanced braces");
        } else if (c == '\r' || c == '\n') {
            // line breaks of the file, not of the text
        } else if (c == ';' && depth == 3) {
            fontNameDone = true;
        } else if (c != '\\') {
            text(c);
        } else if (i >= rtf.size()) {
            fail("a backslash at the end");
        } else if (rtf[i] == '\\' || rtf[i] == '{' || rtf[i] == '}') {
            text(rtf[i++]);
        } else if (rtf[i] == '\'') {
            const int hi = i + 1 < rtf.size() ? hexValue(rtf[i + 1]) : -1;
            const int lo = i + 2 < rtf.size() ? hexValue(rtf[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                fail("a bad \\' escape");
            else
                text(static_cast<char>(hi * 16 + lo));
            i += 3;
        } else if (std::isalpha(static_cast<unsigned char>(rtf[i]))) {
            std::string word;
            while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i])))
                word += rtf[i++];
            std::string digits;
            while (i < rtf.size() && (std::isdigit(static_cast<unsigned char>(rtf[i])) ||
                                      (digits.empty() && rtf[i] == '-')))
                digits += rtf[i++];
            if (i < rtf.size() && rtf[i] == ' ')
                ++i;
            const int param = digits.empty() || digits == "-" ? 0 : std::stoi(digits);
            if (depth != 1 || !inParagraph) {
                if (word == "pard" && depth == 1) {
                    inParagraph = true;
                    current = Paragraph{};
                } else if (word == "par" || word == "tab") {
                    fail("\\" + word + " outside a paragraph");
                }
            } else if (word == "par") {
                out.paragraphs.push_back(current);
                inParagraph = false;
            } else if (word == "tab") {
                current.text += '\t';
            } else if (word == "tx") {
                current.tabStops.push_back(param);
            } else if (word == "fs") {
                current.fontSize = param;
            } else if (word != "f" || param != 0) {
                fail("\\" + word + " inside a paragraph");
            }
        } else {
            fail(std::string("unknown control symbol ") + rtf[i]);
        }
    }
    if (out.error.empty() && depth != 0)
        fail("unclosed group");
    if (out.error.empty() && inParagraph)
        fail("unfinished paragraph");
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    PrintDocument doc;
    doc.pointSize = fdp.ConsumeIntegralInRange(1, 72);
    const int tabs = fdp.ConsumeIntegralInRange(0, 8);
    for (int t = 0; t < tabs; ++t)
        doc.tabStopsPt.push_back(fdp.ConsumeIntegralInRange(0, 1000));
    doc.fontName = fdp.ConsumeRandomLengthString(40);
    while (fdp.remaining_bytes() > 0)
        doc.lines.push_back(fdp.ConsumeRandomLengthString(300));

    const ParsedRtf parsed = parseRtf(toRtf(doc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "RTF not readable: %s\n", parsed.error.c_str());
        std::abort();
    }
    std::string font = doc.fontName;
    std::erase(font, ';');
    FUZZ_CHECK(parsed.fontName == font);
    FUZZ_CHECK(parsed.paragraphs.size() == doc.lines.size());
    std::vector<int> twips;
    for (const int pt : doc.tabStopsPt)
        twips.push_back(pt * 20);
    for (std::size_t k = 0; k < doc.lines.size(); ++k) {
        FUZZ_CHECK(parsed.paragraphs[k].text == doc.lines[k]);
        FUZZ_CHECK(parsed.paragraphs[k].tabStops == twips);
        FUZZ_CHECK(parsed.paragraphs[k].fontSize == doc.pointSize * 2);
    }
    return 0;
}
