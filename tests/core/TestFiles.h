#pragma once

// Small file helpers shared by the core tests: the code under test does its own I/O, the
// tests read and write behind its back with the plainest means.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

namespace tafelix::test {

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

// A fresh folder below the system's temporary folder; empty when none could be made.
inline std::string makeTempDir(std::string_view prefix)
{
    std::string tmpl =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    return ::mkdtemp(tmpl.data()) ? tmpl : std::string();
}

// The lines of a file, each ended by CR LF as the program's writers end them.
inline std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string out;
    for (std::string_view l : lines)
        out.append(l).append("\r\n");
    return out;
}

// A word list without words: the header line alone.
inline const std::string kHeader = crlf({"VKB Vokabeldatei"});

} // namespace tafelix::test
