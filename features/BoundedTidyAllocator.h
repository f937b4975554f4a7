#pragma once
// An HTML Tidy allocator that owns every block of the work it runs and holds
// that work within bounds. HTML Tidy recurses once per level of nesting, and
// re-opens inline elements inside every block, so that a few thousand tags
// can nest a million deep: the depth its parse reaches, and the memory it
// holds, grow faster than the page. At every allocation the allocator checks
// the memory the library holds and the stack it has used since run() began;
// past either bound it abandons the work, jumping back into run(), and frees
// every block at once, the library's half-built document included. One
// allocator serves one run on one thread.

#include <tidy/tidy.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>

namespace ovix {

class BoundedTidyAllocator {
public:
    enum class Outcome { done, tooLarge, tooDeep, outOfMemory, libraryFailure };

    BoundedTidyAllocator(std::size_t memoryLimit, std::size_t stackLimit);
    // Frees every block that the work left.
    ~BoundedTidyAllocator();
    BoundedTidyAllocator(const BoundedTidyAllocator&) = delete;
    BoundedTidyAllocator& operator=(const BoundedTidyAllocator&) = delete;

    // Runs work(context, allocator), which makes its documents with
    // tidyCreateWithAllocator(allocator). The work is abandoned where it
    // stands when it passes a bound, so it must hold nothing that needs a
    // destructor or a release: only plain data and the library's own objects.
    Outcome run(void (*work)(void* context, TidyAllocator* allocator), void* context);

private:
    struct Block;
    static const TidyAllocatorVtbl kFunctions;

    static void* allocate(TidyAllocator* self, std::size_t bytes);
    static void* reallocate(TidyAllocator* self, void* memory, std::size_t bytes);
    static void release(TidyAllocator* self, void* memory);
    [[noreturn]] static void panic(TidyAllocator* self, ctmbstr message);

    static BoundedTidyAllocator& of(TidyAllocator* self);
    // Abandons the work unless `bytes` more fit and the stack is within bound.
    void check(std::size_t bytes);
    [[noreturn]] void abandon(Outcome outcome);
    void link(Block* block);
    void unlink(Block* block);

    TidyAllocator m_base;  // first, so that the library's pointer is this object's
    std::size_t m_memoryLimit;
    std::size_t m_stackLimit;
    std::size_t m_held = 0;
    Block* m_blocks = nullptr;
    std::uintptr_t m_stackTop = 0;
    std::jmp_buf m_abandon;
};

}  // namespace ovix
