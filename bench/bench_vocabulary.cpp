// A full vocabulary (9999 words, every text 100 characters, about 4 MB): loading it into the
// table and saving it atomically, each against the plain cost of moving the same bytes
// (one read; one write plus one fsync).

#include "BenchFolder.h"
#include "core/VocabularyFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace tafelix;

namespace {

// The folder and the file are made once for all four benchmarks and removed at exit.
class FullVocabulary {
public:
    FullVocabulary()
    {
        dir_ = bench::makeBenchFolder("tafelix-vocab");
        if (dir_.empty())
            return;
        auto table = std::make_unique<TWordTable>();
        for (std::int32_t n = 1; n <= TWordTable::MaxWords; ++n) {
            table->AppendWord();
            TWordEntry& e = table->current();
            e.box = n % 7;
            e.passes = n % 50;
            // Distinct texts with umlauts, so nothing about them is uniform.
            const std::string stem = std::to_string(n) + " \xE4\xF6\xFC\xDF ";
            e.german = (stem + std::string(100, 'd')).substr(0, 100);
            e.foreign = (stem + std::string(100, 'f')).substr(0, 100);
            e.synonym = (stem + std::string(100, 's')).substr(0, 100);
            e.remark = (stem + std::string(100, 'r')).substr(0, 100);
        }
        bytes_ = serializeVocabulary(*table);
        if (!saveVocabularyFile(path(), *table))
            bytes_.clear();
    }
    ~FullVocabulary()
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    FullVocabulary(const FullVocabulary&) = delete;
    FullVocabulary& operator=(const FullVocabulary&) = delete;

    bool ok() const { return !bytes_.empty(); }
    std::string path() const { return dir_ + "/Liste.vkb"; }
    std::string other() const { return dir_ + "/Kopie.vkb"; }
    const std::string& bytes() const { return bytes_; }

private:
    std::string dir_;
    std::string bytes_;
};

const FullVocabulary& fullVocabulary()
{
    static const FullVocabulary v;
    return v;
}

void setBytes(benchmark::State& state, const FullVocabulary& v)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(v.bytes().size()));
}

void BM_VocabLoad(benchmark::State& state)
{
    const FullVocabulary& v = fullVocabulary();
    if (!v.ok()) {
        state.SkipWithError("cannot write the vocabulary");
        return;
    }
    const auto table = std::make_unique<TWordTable>();
    for (auto _ : state) {
        const LoadResult r = loadVocabularyFile(v.path(), *table);
        if (r.status != LoadStatus::Ok || r.wordCount != TWordTable::MaxWords) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(table.get());
        benchmark::ClobberMemory();
    }
    setBytes(state, v);
}
BENCHMARK(BM_VocabLoad)->Unit(benchmark::kMillisecond);

void BM_VocabReadPlain(benchmark::State& state)
{
    const FullVocabulary& v = fullVocabulary();
    if (!v.ok()) {
        state.SkipWithError("cannot write the vocabulary");
        return;
    }
    const std::string path = v.path();
    std::vector<char> buf(v.bytes().size());
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        ::close(fd);
        if (n != static_cast<ssize_t>(buf.size())) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    setBytes(state, v);
}
BENCHMARK(BM_VocabReadPlain)->Unit(benchmark::kMillisecond);

void BM_VocabSave(benchmark::State& state)
{
    const FullVocabulary& v = fullVocabulary();
    const auto table = std::make_unique<TWordTable>();
    if (!v.ok() || loadVocabularyFile(v.path(), *table).status != LoadStatus::Ok) {
        state.SkipWithError("cannot set up the vocabulary");
        return;
    }
    const std::string path = v.other();
    for (auto _ : state) {
        if (!saveVocabularyFile(path, *table)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    setBytes(state, v);
}
BENCHMARK(BM_VocabSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VocabWritePlain(benchmark::State& state)
{
    const FullVocabulary& v = fullVocabulary();
    if (!v.ok()) {
        state.SkipWithError("cannot write the vocabulary");
        return;
    }
    const std::string path = v.other();
    const std::string& bytes = v.bytes();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        ::fsync(fd);
        ::close(fd);
        if (n != static_cast<ssize_t>(bytes.size())) {
            state.SkipWithError("write failed");
            break;
        }
    }
    setBytes(state, v);
}
BENCHMARK(BM_VocabWritePlain)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
