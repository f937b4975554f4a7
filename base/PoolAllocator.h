#pragma once
// The allocator of a node-based container (an ordered map) that takes its
// nodes from one of the shared pools of LockedPool.h. The pool learns its node
// size from the container's real node type at the first allocation. Any two
// allocators of one pool are equal.

#include <cstddef>
#include <new>
#include <type_traits>

#include "base/LockedPool.h"
#include "base/MappedPool.h"

namespace ovix {

template <class T, LockedPool& Pool>
class PoolAllocator {
public:
    using value_type = T;
    using is_always_equal = std::true_type;
    template <class U>
    struct rebind {
        using other = PoolAllocator<U, Pool>;
    };

    PoolAllocator() = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U, Pool>&) noexcept {}

    // A pool hands out single nodes only.
    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= MappedPool::nodeAlignment);
        if (n != 1)
            throw std::bad_array_new_length();
        return static_cast<T*>(Pool.alloc(sizeof(T)));
    }
    void deallocate(T* node, std::size_t) noexcept { Pool.free(node); }

    template <class U>
    bool operator==(const PoolAllocator<U, Pool>&) const noexcept {
        return true;
    }
};

}  // namespace ovix
