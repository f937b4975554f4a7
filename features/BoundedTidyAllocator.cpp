#include "features/BoundedTidyAllocator.h"

#include <cstdlib>

namespace ovix {

// Each block starts with its links; the header keeps the payload aligned as
// malloc's is.
struct alignas(alignof(std::max_align_t)) BoundedTidyAllocator::Block {
    Block* previous;
    Block* next;
    std::size_t bytes;
};

const TidyAllocatorVtbl BoundedTidyAllocator::kFunctions = {
    &BoundedTidyAllocator::allocate,
    &BoundedTidyAllocator::reallocate,
    &BoundedTidyAllocator::release,
    &BoundedTidyAllocator::panic,
};

BoundedTidyAllocator::BoundedTidyAllocator(std::size_t memoryLimit, std::size_t stackLimit)
    : m_base{&kFunctions}, m_memoryLimit(memoryLimit), m_stackLimit(stackLimit) {}

BoundedTidyAllocator::~BoundedTidyAllocator() {
    while (m_blocks) {
        Block* next = m_blocks->next;
        std::free(m_blocks);
        m_blocks = next;
    }
}

BoundedTidyAllocator::Outcome BoundedTidyAllocator::run(void (*work)(void*, TidyAllocator*), void* context) {
    const char top = 0;
    m_stackTop = reinterpret_cast<std::uintptr_t>(&top);
    if (const int abandoned = setjmp(m_abandon))
        return static_cast<Outcome>(abandoned);
    work(context, &m_base);
    return Outcome::done;
}

BoundedTidyAllocator& BoundedTidyAllocator::of(TidyAllocator* self) {
    return *reinterpret_cast<BoundedTidyAllocator*>(self);
}

void BoundedTidyAllocator::check(std::size_t bytes) {
    const char here = 0;
    if (m_stackTop - reinterpret_cast<std::uintptr_t>(&here) > m_stackLimit)
        abandon(Outcome::tooDeep);
    if (bytes > m_memoryLimit - m_held)
        abandon(Outcome::tooLarge);
}

void BoundedTidyAllocator::abandon(Outcome outcome) {
    std::longjmp(m_abandon, static_cast<int>(outcome));
}

void BoundedTidyAllocator::link(Block* block) {
    block->previous = nullptr;
    block->next = m_blocks;
    if (m_blocks)
        m_blocks->previous = block;
    m_blocks = block;
    m_held += block->bytes;
}

void BoundedTidyAllocator::unlink(Block* block) {
    (block->previous ? block->previous->next : m_blocks) = block->next;
    if (block->next)
        block->next->previous = block->previous;
    m_held -= block->bytes;
}

void* BoundedTidyAllocator::allocate(TidyAllocator* self, std::size_t bytes) {
    BoundedTidyAllocator& allocator = of(self);
    allocator.check(bytes);
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + bytes));
    if (!block)
        allocator.abandon(Outcome::outOfMemory);
    block->bytes = bytes;
    allocator.link(block);
    return block + 1;
}

void* BoundedTidyAllocator::reallocate(TidyAllocator* self, void* memory, std::size_t bytes) {
    if (!memory)
        return allocate(self, bytes);
    BoundedTidyAllocator& allocator = of(self);
    Block* block = static_cast<Block*>(memory) - 1;
    if (bytes > block->bytes)
        allocator.check(bytes - block->bytes);
    allocator.unlink(block);
    auto* moved = static_cast<Block*>(std::realloc(block, sizeof(Block) + bytes));
    if (!moved) {
        allocator.link(block);
        allocator.abandon(Outcome::outOfMemory);
    }
    moved->bytes = bytes;
    allocator.link(moved);
    return moved + 1;
}

void BoundedTidyAllocator::release(TidyAllocator* self, void* memory) {
    if (!memory)
        return;
    Block* block = static_cast<Block*>(memory) - 1;
    of(self).unlink(block);
    std::free(block);
}

void BoundedTidyAllocator::panic(TidyAllocator* self, ctmbstr) {
    of(self).abandon(Outcome::libraryFailure);
}

}  // namespace ovix
