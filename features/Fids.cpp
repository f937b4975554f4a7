#include "features/Fids.h"

#include <nettle/md5.h>

#include <mutex>

namespace ovix {

Fids::Fids(bool keepTokens) : m_keepTokens(keepTokens) {}

Fid Fids::getFidNative(std::string_view token) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, token.size(), reinterpret_cast<const std::uint8_t*>(token.data()));
    Fid fid;
    md5_digest(&md5, FID_LEN, reinterpret_cast<std::uint8_t*>(fid.m_fid));

    if (m_keepTokens) {
        std::lock_guard hold(m_lock);
        m_tokens.insert_or_assign(fid, std::string(token));
    }
    return fid;
}

std::vector<std::pair<Fid, std::string>> Fids::getNewTokens() {
    std::map<Fid, std::string, FidHash> taken;
    {
        std::lock_guard hold(m_lock);
        taken.swap(m_tokens);
    }
    std::vector<std::pair<Fid, std::string>> tokens;
    tokens.reserve(taken.size());
    for (auto& [fid, token] : taken)
        tokens.emplace_back(fid, std::move(token));
    return tokens;
}

}  // namespace ovix
