#pragma once

#include <string>
#include <vector>

namespace tafelix {

// A printout as the program composes it: plain lines, one paragraph each, every paragraph
// with the same tab stops, the whole text in one font. The RTF file and the printer both
// render exactly this.
struct PrintDocument {
    std::vector<std::string> lines; // Windows-1252 text, tabs as '\t'
    std::vector<int> tabStopsPt;    // from the left edge, in points
    std::string fontName = "Courier New";
    int pointSize = 8;

    void clear(std::vector<int> tabStops)
    {
        lines.clear();
        tabStopsPt = std::move(tabStops);
    }
};

} // namespace tafelix
