#include "engine/key_ring.h"

#include <algorithm>

#include "engine/dbengine.h"
#include "engine/errors.h"

namespace dbe {

void KeyRing::Add(const std::string& password) {
    if (password.size() > DBIMAXPASSWORDLEN) {
        throw EngineError(DBIERR_INVALIDPARAM,
                          "A password is at most " + std::to_string(DBIMAXPASSWORDLEN) + " bytes");
    }
    if (std::find(passwords_.begin(), passwords_.end(), password) == passwords_.end()) {
        passwords_.push_back(password);
    }
}

void KeyRing::Drop(const std::string& password) {
    std::erase(passwords_, password);
    std::erase_if(tried_, [&](const auto& entry) { return entry.first.second == password; });
}

void KeyRing::DropAll() {
    passwords_.clear();
    tried_.clear();
}

std::optional<tablecrypt::UnlockedFile> KeyRing::Try(const tablecrypt::TableHeader& header,
                                                     const std::string& password) {
    const auto key = std::make_pair(header.DigestOf(), password);
    const auto found = tried_.find(key);
    if (found != tried_.end()) return found->second;
    return tried_[key] = tablecrypt::Unlock(header, password);
}

tablecrypt::UnlockedFile KeyRing::Unlock(const std::string& path) {
    tablecrypt::TableHeader header;
    try {
        header = tablecrypt::ReadTableHeader(path);
    } catch (const tablecrypt::DamagedHeader& damaged) {
        throw EngineError(DBIERR_CORRUPT, damaged.what());
    }
    for (const std::string& password : passwords_) {
        if (auto unlocked = Try(header, password)) return *unlocked;
    }
    throw EngineError(DBIERR_NOTSUFFTABLERIGHTS);
}

}  // namespace dbe
