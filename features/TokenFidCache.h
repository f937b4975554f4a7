#pragma once
// Remembers the ids of recently seen tokens, so that a frequent word is
// stemmed and hashed once instead of at every occurrence. An id depends only
// on the lower-cased token and on whether it is stemmed, so one cache serves
// every dictionary on a thread and every Fids that does not keep tokens (one
// that keeps them must see each token). Direct-mapped: a token takes over the
// slot of whatever token was there. One cache per thread, so no locks.
// 2^16 slots (1.5 MiB a thread): text of a wide vocabulary (tens of thousands
// of words) finds about nine in ten of its tokens here; 2^12 found half.

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

#include "features/Fid.h"
#include "features/ShortKey.h"

namespace ovix {

class TokenFidCache {
public:
    static constexpr unsigned kSlotBits = 16;

    // The calling thread's cache, made on its first call.
    static TokenFidCache& forThisThread();

    // The id of `token`, from the cache or else from makeId(), which is
    // called at most once. Empty tokens and tokens longer than
    // ShortKey::kLongest are never cached.
    template <class MakeId>
    Fid idOf(std::string_view token, bool stemmed, MakeId&& makeId) {
        if (token.empty() || token.size() > ShortKey::kLongest)
            return makeId();
        ShortKey key = ShortKey::of(token);
        key.tail |= std::uint64_t{stemmed} << 63;  // above the length
        Slot& slot = m_slots[key.slot(kSlotBits)];
        if (slot.key == key)
            return slot.fid;
        const Fid fid = makeId();
        slot = {key, fid};
        return fid;
    }

private:
    struct Slot {
        ShortKey key;  // all zero while free: no token has that key
        Fid fid;
    };
    std::array<Slot, std::size_t{1} << kSlotBits> m_slots{};
};

}  // namespace ovix
