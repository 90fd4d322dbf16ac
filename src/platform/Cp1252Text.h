#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tafelix {

// The boundary between the Windows-1252 bytes of files and core, and the screen's QString.
QString fromCp1252(std::string_view bytes);
// Characters Windows-1252 cannot hold become '?'.
std::string toCp1252(const QString& text);

// File system paths are not file contents: they use the local 8-bit encoding of the system.
std::string toLocalPath(const QString& path);
QString fromLocalPath(std::string_view path);

} // namespace tafelix
