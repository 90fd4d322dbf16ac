// Kills a process that saves one file over and over, at random moments, and checks after
// every kill that the file is whole: byte for byte the old content or the new one, never a
// mix and never missing. Runs every kind of file the program writes.
//
// Usage: safety_kill [--long] [--kills N] [--seed S]
//   default 50 kills per kind, --long 500.

#include "SaveKinds.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tafelix::safety;

namespace {

struct KindReport {
    std::string name;
    int tried = 0;
    int survived = 0;
    int midSave = 0; // kills that left a temporary file behind, i.e. landed inside a save
    double msPerSave = 0;
    std::string firstProblem;
};

[[noreturn]] void saveForever(const SaveKind& kind, const std::string& dir, int readyFd)
{
    const char ready = 'r';
    if (::write(readyFd, &ready, 1) != 1)
        ::_exit(4);
    ::close(readyFd);
    for (int v = 1;; v ^= 1) {
        if (!kind.save(dir, v).io)
            ::_exit(3);
    }
}

KindReport run(const SaveKind& kind, const std::string& dir, int kills, std::mt19937& rng)
{
    KindReport rep;
    rep.name = kind.name;
    makeFolders(dir);
    if (kind.prepare)
        kind.prepare(dir);
    if (!kind.save(dir, 0).io) {
        rep.firstProblem = "the first save failed";
        return rep;
    }
    const std::string target = dir + "/" + kind.target;
    const std::string targetDir = target.substr(0, target.rfind('/'));
    const std::vector<std::string> names = listFolder(targetDir);
    const std::set<std::string> expectedNames(names.begin(), names.end());

    // The kills are spread over two saves' time, so they land in every phase of a save and
    // in the gap between two.
    constexpr int kTimed = 4;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kTimed; ++i)
        kind.save(dir, (i + 1) % 2);
    const auto period = (std::chrono::steady_clock::now() - t0) / kTimed;
    rep.msPerSave = std::chrono::duration<double, std::milli>(period).count();
    std::uniform_int_distribution<long long> delayUs(
        0, std::max<long long>(
               1, 2 * std::chrono::duration_cast<std::chrono::microseconds>(period).count()));

    for (int i = 0; i < kills; ++i) {
        int fds[2];
        if (::pipe(fds) != 0) {
            rep.firstProblem = "pipe failed";
            return rep;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            saveForever(kind, dir, fds[1]);
        }
        ::close(fds[1]);
        char ready = 0;
        const bool started = ::read(fds[0], &ready, 1) == 1;
        ::close(fds[0]);
        if (started)
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ++rep.tried;

        bool exists = false;
        const std::string now = readFileOrEmpty(target, exists);
        std::string problem;
        if (!WIFSIGNALED(status))
            problem = "the saving process ended by itself (status " + std::to_string(status) + ")";
        else if (!exists)
            problem = "the file is missing";
        else if (now != kind.content[0] && now != kind.content[1])
            problem = "the file is torn (" + std::to_string(now.size()) + " bytes)";
        if (problem.empty())
            ++rep.survived;
        else if (rep.firstProblem.empty())
            rep.firstProblem = "kill " + std::to_string(i + 1) + ": " + problem;

        bool leftover = false;
        for (const std::string& name : listFolder(targetDir)) {
            if (!expectedNames.contains(name)) {
                leftover = true;
                removeTree(targetDir + "/" + name);
            }
        }
        rep.midSave += leftover ? 1 : 0;
    }
    return rep;
}

} // namespace

int main(int argc, char** argv)
{
    int kills = 50;
    unsigned seed = std::random_device{}();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--long")
            kills = 500;
        else if (arg == "--kills" && i + 1 < argc)
            kills = std::atoi(argv[++i]);
        else if (arg == "--seed" && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else {
            std::fprintf(stderr, "usage: %s [--long] [--kills N] [--seed S]\n", argv[0]);
            return 2;
        }
    }
    const std::string base = makeTempFolder("tafelix-kill");
    if (base.empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    std::printf("seed %u, %d kills per kind, folder %s\n", seed, kills, base.c_str());
    std::fflush(stdout);

    std::mt19937 rng(seed);
    const std::vector<SaveKind> kinds = makeSaveKinds(Scale::Large);
    std::vector<KindReport> reports;
    for (std::size_t k = 0; k < kinds.size(); ++k)
        reports.push_back(run(kinds[k], base + "/" + std::to_string(k), kills, rng));
    removeTree(base);

    bool allWhole = true;
    std::printf("\n%-14s %16s %5s %7s %9s %9s\n", "kind", "size", "kills", "whole", "mid-save",
                "ms/save");
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        const KindReport& r = reports[k];
        const std::string size = std::to_string(kinds[k].content[0].size()) + "/" +
                                 std::to_string(kinds[k].content[1].size());
        std::printf("%-14s %16s %5d %7d %9d %9.1f\n", r.name.c_str(), size.c_str(), r.tried,
                    r.survived, r.midSave, r.msPerSave);
        if (r.tried != kills || r.survived != r.tried) {
            allWhole = false;
            std::printf("  FAILED: %s\n",
                        r.firstProblem.empty() ? "too few kills" : r.firstProblem.c_str());
        }
    }
    return allWhole ? 0 : 1;
}
