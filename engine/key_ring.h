// The engine session's table passwords, and the keys of the protected tables they unlocked.
//
// Contracts:
// - A password is at most DBIMAXPASSWORDLEN bytes (in the program's code page); a longer one is
//   refused with DBIERR_INVALIDPARAM. Adding a password twice keeps one.
// - Unlock() tries the passwords in the order they were added. Each password is tried on a
//   header once (scrypt takes a while on purpose); the answer is kept until the password is
//   dropped, so later opens of the same file cost nothing.
// - Unlock() answers DBIERR_NOTSUFFTABLERIGHTS when no password opens the table, and
//   DBIERR_CORRUPT when its protection header is damaged.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/tablecrypt/protected_file.h"

namespace dbe {

class KeyRing {
  public:
    void Add(const std::string& password);
    void Drop(const std::string& password);
    void DropAll();
    // In the order they were added.
    const std::vector<std::string>& Passwords() const { return passwords_; }

    tablecrypt::UnlockedFile Unlock(const std::string& path);

  private:
    std::optional<tablecrypt::UnlockedFile> Try(const tablecrypt::TableHeader& header,
                                                const std::string& password);

    std::vector<std::string> passwords_;
    std::map<std::pair<tablecrypt::Digest, std::string>, std::optional<tablecrypt::UnlockedFile>>
        tried_;
};

}  // namespace dbe
