#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tafelix::bench {

// A fresh folder for a benchmark's files, in TAFELIX_BENCH_DIR or the system's temporary
// folder; empty when it cannot be made.
inline std::string makeBenchFolder(const char* stem)
{
    const char* base = std::getenv("TAFELIX_BENCH_DIR");
    std::string tmpl =
        (base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) /
        (std::string(stem) + "-XXXXXX");
    return ::mkdtemp(tmpl.data()) != nullptr ? tmpl : std::string();
}

} // namespace tafelix::bench
