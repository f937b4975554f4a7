#include "compat/browser/GlobalMemory.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "compat/browser/SimulatedInput.h"

namespace compat {

namespace {

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
    unsigned locks = 0;
};

struct BlockTable {
    std::mutex mutex;
    std::map<GlobalHandle, Block> blocks;
    GlobalHandle lastHandle = 0x30000;
};

BlockTable& table() {
    static auto* blocks = new BlockTable;
    return *blocks;
}

}  // namespace

GlobalHandle GlobalAlloc(std::size_t bytes) {
    // Exactly `bytes` long, so that a reader past the end is caught by the
    // address sanitizer.
    std::unique_ptr<unsigned char[]> memory(new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes]());
    if (!memory)
        return 0;
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.lastHandle += 4;
    t.blocks.emplace(t.lastHandle, Block{std::move(memory), bytes, 0});
    return t.lastHandle;
}

void* GlobalLock(GlobalHandle block) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.blocks.find(block);
    if (found == t.blocks.end())
        return nullptr;
    ++found->second.locks;
    return found->second.bytes.get();
}

bool GlobalUnlock(GlobalHandle block) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.blocks.find(block);
    if (found == t.blocks.end() || found->second.locks == 0)
        return false;
    return --found->second.locks > 0;
}

std::size_t GlobalSize(GlobalHandle block) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto found = t.blocks.find(block);
    return found == t.blocks.end() ? 0 : found->second.size;
}

GlobalHandle GlobalFree(GlobalHandle block) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    return t.blocks.erase(block) == 1 ? 0 : block;
}

bool isGlobalBlock(GlobalHandle block) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    return t.blocks.count(block) == 1;
}

}  // namespace compat
