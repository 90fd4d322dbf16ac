#pragma once

#include "core/TestFiles.h"

#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace tafelix::test {

// What tafelix-convert did when run as a script runs it: its exit status and its stderr.
struct ConverterRun {
    int status;
    std::string err;
};

// Runs tafelix-convert with `args` (shell words), its stderr kept in `errFile`.
inline ConverterRun runConverter(const std::string& args, const std::string& errFile)
{
    const std::string cmd =
        std::string(TAFELIX_CONVERT_EXE) + " " + args + " 2>" + errFile + " >/dev/null";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readBytes(errFile)};
}

} // namespace tafelix::test
