// Writes the generated files of the program folder: the two sound effects and, when they
// are missing, the empty statistics log and the default settings. Existing settings and
// logs are left alone, so rebuilding never throws away a learner's data.
#include "core/FileIo.h"
#include "core/SettingsRecord.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

void put16(std::string& s, std::uint16_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void put32(std::string& s, std::uint32_t v)
{
    put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(s, static_cast<std::uint16_t>(v >> 16));
}

std::string wav(const std::vector<double>& samples)
{
    std::string s = "RIFF";
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1); // PCM
    put16(s, 1); // mono
    put32(s, kRate);
    put32(s, kRate * 2);
    put16(s, 2);
    put16(s, 16);
    s += "data";
    put32(s, dataBytes);
    for (double v : samples) {
        const double c = std::fmax(-1.0, std::fmin(1.0, v));
        put16(s, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(c * 32000))));
    }
    return s;
}

// A soft drop of water: a short sine sweeping down, fading fast.
std::vector<double> plop()
{
    std::vector<double> out(static_cast<std::size_t>(kRate * 0.09));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double f = 300 + 700 * std::exp(-t * 40);
        phase += 2 * kPi * f / kRate;
        const double attack = std::fmin(1.0, t / 0.003);
        out[i] = 0.55 * attack * std::exp(-t * 38) * std::sin(phase);
    }
    return out;
}

// A low wooden knock with a falling second tone: clearly "wrong", never harsh.
std::vector<double> conk()
{
    std::vector<double> out(static_cast<std::size_t>(kRate * 0.32));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::fmin(1.0, t / 0.004);
        const double first = std::sin(2 * kPi * 220 * t) + 0.35 * std::sin(2 * kPi * 440 * t);
        const double second =
            t > 0.12 ? std::sin(2 * kPi * 165 * (t - 0.12)) * std::exp(-(t - 0.12) * 14) : 0;
        out[i] = 0.4 * attack * (first * std::exp(-t * 22) + 0.9 * second);
    }
    return out;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool write(const std::string& path, const std::string& bytes)
{
    const tafelix::IoResult r = tafelix::writeFileAtomically(path, bytes);
    if (!r)
        std::fprintf(stderr, "tafelix_mkdata: %s: %s\n", path.c_str(), r.message.c_str());
    return r.ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tafelix_mkdata PROGRAM_FOLDER\n");
        return 2;
    }
    const std::string sys = std::string(argv[1]) + "/SysDat/";
    bool ok = write(sys + "plop.wav", wav(plop())) && write(sys + "conk.wav", wav(conk()));
    if (ok && !exists(sys + "Statistik.dat"))
        ok = write(sys + "Statistik.dat", std::string());
    if (ok && !exists(sys + "Init.dat")) {
        // The page's own defaults, and the sample list as the file to offer first.
        tafelix::SettingsRecord defaults;
        defaults.lastFileName = "Beispiel.vkb";
        defaults.searchField = "Deutsch";
        ok = tafelix::saveSettingsFile(sys + "Init.dat", defaults).ok;
    }
    return ok ? 0 : 1;
}
