#pragma once
// Makes word ids (the first 8 bytes of the MD5 digest of the word) and, when
// asked to, remembers which word made which id. Its lock also guards every
// FidsDocCount built on it. All members may be called from any thread.

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "features/Fid.h"
#include "features/FidsLock.h"

namespace ovix {

class Fids {
public:
    explicit Fids(bool keepTokens);

    // The id of a token; records the token under it when keepTokens is set
    // (a later token with the same id replaces the earlier one).
    Fid getFidNative(std::string_view token);
    // The text form of getFidNative.
    std::string getFid(std::string_view token) { return getFidNative(token).text(); }
    // The id of a token, recorded nowhere.
    static Fid idOf(std::string_view token);
    // Records each (id, token) as getFidNative does, in order, moving the
    // tokens' text in and taking the lock once per FidsLock::kBatch tokens;
    // does nothing unless keepTokens is set.
    void recordTokens(std::span<std::pair<Fid, std::string>> tokens);
    // Takes every (id, token) recorded since the previous call, in id order.
    std::vector<std::pair<Fid, std::string>> getNewTokens();

    bool keepTokens() const { return m_keepTokens; }
    FidsLock& lock() { return m_lock; }

private:
    const bool m_keepTokens;
    std::map<Fid, std::string, FidHash> m_tokens;
    FidsLock m_lock;
};

}  // namespace ovix
