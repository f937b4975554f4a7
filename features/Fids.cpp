#include "features/Fids.h"

#include <nettle/md5.h>

#include <algorithm>
#include <utility>

namespace ovix {

Fids::Fids(bool keepTokens) : m_keepTokens(keepTokens) {}

Fid Fids::idOf(std::string_view token) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, token.size(), reinterpret_cast<const std::uint8_t*>(token.data()));
    Fid fid;
    md5_digest(&md5, FID_LEN, reinterpret_cast<std::uint8_t*>(fid.m_fid));
    return fid;
}

Fid Fids::getFidNative(std::string_view token) {
    const Fid fid = idOf(token);
    if (m_keepTokens) {
        const FidsLock::Section hold(m_lock);
        m_tokens.insert_or_assign(fid, std::string(token));
    }
    return fid;
}

void Fids::recordTokens(std::span<std::pair<Fid, std::string>> tokens) {
    if (!m_keepTokens)
        return;
    for (size_t first = 0; first < tokens.size(); first += FidsLock::kBatch) {
        const FidsLock::Section hold(m_lock);
        for (auto& [fid, token] : tokens.subspan(first, std::min(FidsLock::kBatch, tokens.size() - first)))
            m_tokens.insert_or_assign(fid, std::move(token));
    }
}

std::vector<std::pair<Fid, std::string>> Fids::getNewTokens() {
    std::map<Fid, std::string, FidHash> taken;
    {
        const FidsLock::Section hold(m_lock);
        taken.swap(m_tokens);
    }
    std::vector<std::pair<Fid, std::string>> tokens;
    tokens.reserve(taken.size());
    for (auto& [fid, token] : taken)
        tokens.emplace_back(fid, std::move(token));
    return tokens;
}

}  // namespace ovix
