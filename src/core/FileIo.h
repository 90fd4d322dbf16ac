#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tafelix {

// Outcome of a file operation. On failure `message` holds the German text that the program
// shows the learner (for example "Datei nicht gefunden").
struct IoResult {
    bool ok = true;
    std::string message;
    int error = 0; // errno of the failing call, 0 on success

    explicit operator bool() const { return ok; }
    static IoResult success() { return {}; }
    static IoResult failure(int err, std::string text) { return {false, std::move(text), err}; }
};

// What a file of fixed-size records that ends inside a record reports (with ENODATA).
inline constexpr std::string_view kReadPastEndText = "Versuch hinter dem Dateiende zu lesen";

// The German run-time text for an errno value.
std::string ioErrorText(int err);

// Reads a whole file. Files larger than maxBytes are refused rather than read.
IoResult readWholeFile(const std::string& path, std::string& out,
                       std::size_t maxBytes = std::size_t{512} << 20);

// Replaces `path` with `bytes` so that a crash or a full disk leaves either the old file or
// the new one, never a torn mix: write a temporary file beside it, check every write, fsync,
// rename over the target, fsync the folder.
IoResult writeFileAtomically(const std::string& path, std::string_view bytes);

// Copies a file, overwriting the target the same atomic way.
IoResult copyFileAtomically(const std::string& from, const std::string& to);

// The part after the last '/', and the part up to and including it.
std::string_view fileNamePart(std::string_view path);
std::string_view folderPart(std::string_view path);

namespace testing {
// Lets tests stand in for write(2) to simulate a full disk or a short write.
using WriteFn = ssize_t (*)(int fd, const void* buf, std::size_t count);
void setWriteFunction(WriteFn fn); // nullptr restores the real one
} // namespace testing

} // namespace tafelix
