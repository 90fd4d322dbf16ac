#pragma once

#include "PrintDocument.h"

#include <string>

namespace tafelix {

// The document as an RTF file's bytes: one paragraph per line, in order, every paragraph
// with the document's tab stops, all text in the document's font and size, Windows-1252
// text. Backslash and braces are escaped; bytes from 0x80 up and control bytes are written
// as \'hh, tabs as \tab, so no byte of a learner's text can change the file's structure.
std::string toRtf(const PrintDocument& document);

} // namespace tafelix
