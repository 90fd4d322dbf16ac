#include "ParseArena.h"

#include <pugixml.hpp>

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace tafelix::convert {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kAlign = alignof(std::max_align_t);

thread_local ParseArena* tActive = nullptr;
std::atomic<std::size_t> gMapped{0};

std::size_t roundUp(std::size_t n, std::size_t to)
{
    return (n + to - 1) / to * to;
}

void* allocateHook(std::size_t size)
{
    if (ParseArena* a = tActive)
        if (void* p = a->allocate(size))
            return p;
    return std::malloc(size);
}

void deallocateHook(void* p)
{
    // Freeing inside the arena is a no-op: its blocks go back whole when it ends.
    if (const ParseArena* a = tActive; a != nullptr && a->owns(p))
        return;
    std::free(p);
}

// The hooks are process-wide. Outside an arena they are plain malloc/free, exactly what
// pugixml uses by default, so a parse on another thread is unaffected whenever they are set.
void installHooks()
{
    static std::once_flag once;
    std::call_once(once,
                   [] { pugi::set_memory_management_functions(allocateHook, deallocateHook); });
}

} // namespace

ParseArena::ParseArena(std::size_t expectedBytes)
    : nextSize_(roundUp(std::max(expectedBytes, kHugePage), kHugePage)), outer_(tActive)
{
    installHooks();
    tActive = this;
}

ParseArena::~ParseArena()
{
    tActive = outer_;
    for (std::size_t i = 0; i < blockCount_; ++i) {
        ::munmap(blocks_[i].base, blocks_[i].size);
        gMapped -= blocks_[i].size;
    }
}

bool ParseArena::mapBlock(std::size_t atLeast)
{
    if (blockCount_ == blocks_.size())
        return false;
    const std::size_t size = roundUp(std::max(atLeast, nextSize_), kHugePage);
    // Address space only: pages cost something when first touched, so mapping more than a
    // parse turns out to need is nearly free. One huge page more, to cut an aligned block
    // out of it, lets the kernel back the block with huge pages: a few faults instead of
    // one per four kilobytes.
    const std::size_t span = size + kHugePage;
    void* const raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED)
        return false;
    char* const start = static_cast<char*>(raw);
    char* const base = start + (roundUp(reinterpret_cast<std::uintptr_t>(start), kHugePage) -
                                reinterpret_cast<std::uintptr_t>(start));
    if (base != start)
        ::munmap(start, static_cast<std::size_t>(base - start));
    if (char* const tail = base + size; tail != start + span)
        ::munmap(tail, static_cast<std::size_t>(start + span - tail));
#ifdef MADV_HUGEPAGE
    ::madvise(base, size, MADV_HUGEPAGE); // a hint; without it the block still works
#endif
    blocks_[blockCount_++] = {base, size};
    gMapped += size;
    nextSize_ = size * 2;
    next_ = base;
    end_ = base + size;
    return true;
}

void* ParseArena::allocate(std::size_t size)
{
    size = roundUp(std::max<std::size_t>(size, 1), kAlign);
    if (static_cast<std::size_t>(end_ - next_) < size && !mapBlock(size))
        return nullptr;
    void* const p = next_;
    next_ += size;
    return p;
}

bool ParseArena::owns(const void* p) const
{
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    for (std::size_t i = 0; i < blockCount_; ++i)
        if (const auto base = reinterpret_cast<std::uintptr_t>(blocks_[i].base);
            at >= base && at - base < blocks_[i].size)
            return true;
    return false;
}

std::size_t ParseArena::mappedBytes()
{
    return gMapped;
}

} // namespace tafelix::convert
