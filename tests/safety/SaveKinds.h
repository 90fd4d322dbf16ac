#pragma once

// Every way the program replaces a file on disk, each with two known contents, so that a
// proof can save one over the other and then tell a clean result from a torn one.

#include "core/FileIo.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tafelix::safety {

struct SaveOutcome {
    IoResult io;
    // Set when the save broke a promise about memory (a failed statistics rewrite must leave
    // the records alone); empty otherwise.
    std::string fault;
};

struct SaveKind {
    std::string name;                   // short column name in the reports
    std::string target;                 // the file the save replaces, relative to the folder
    std::array<std::string, 2> content; // what the target holds after saving variant 0 or 1
    // Creates what the save reads besides memory (the folder backup's sources).
    std::function<void(const std::string& dir)> prepare;
    // Saves variant 0 or 1 the way the program does.
    std::function<SaveOutcome(const std::string& dir, int variant)> save;
};

// Large: the word list runs to several MB, so that a kill is likely to land inside a write.
// Small: a few dozen KB, so that a tiny file system can be stepped through page by page.
enum class Scale { Large, Small };

std::vector<SaveKind> makeSaveKinds(Scale scale);

// A 24-bit bottom-up BMP as the statistics printout writes it.
std::string makeBmp(int width, int height, unsigned seed);

// Plain POSIX helpers for the drivers.
std::string readFileOrEmpty(const std::string& path, bool& exists);
std::vector<std::string> listFolder(const std::string& dir); // names, sorted, no . or ..
bool makeFolders(const std::string& path);                   // like mkdir -p
std::string makeTempFolder(const std::string& prefix);       // empty on failure
void removeTree(const std::string& path);

} // namespace tafelix::safety
