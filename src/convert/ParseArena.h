#pragma once

#include <array>
#include <cstddef>

namespace tafelix::convert {

// The memory pugixml asks for while one document is parsed and walked: a few large blocks
// taken straight from the system and given back in one go when the arena ends. A full list
// needs megabytes in thirty-kilobyte pages; from the heap they were returned to the system
// when the document was freed and faulted in again, page by page, on the next import.
//
// Active for the thread that creates it, until it ends; pugixml on any other thread, or on
// this one outside an arena, gets plain malloc/free. Everything pugixml allocated here must
// be freed before the arena ends: declare the arena before the document.
class ParseArena {
public:
    // `expectedBytes`: about what the parse will need; more is mapped when it needs more.
    explicit ParseArena(std::size_t expectedBytes);
    ~ParseArena();
    ParseArena(const ParseArena&) = delete;
    ParseArena& operator=(const ParseArena&) = delete;

    // Null when no memory could be mapped; the caller falls back to malloc.
    void* allocate(std::size_t size);
    bool owns(const void* p) const;

    // Bytes mapped by every arena of the process that has not ended yet.
    static std::size_t mappedBytes();

private:
    struct Block {
        char* base = nullptr;
        std::size_t size = 0;
    };
    bool mapBlock(std::size_t atLeast);

    std::array<Block, 24> blocks_{};
    std::size_t blockCount_ = 0;
    std::size_t nextSize_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    ParseArena* outer_;
};

} // namespace tafelix::convert
