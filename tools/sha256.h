// SHA-256 through OpenSSL, fed piece by piece: the fingerprint of a backup's files and of a
// table's rows copied to or from a server.
//
// Contract: the constructor throws ToolError when OpenSSL offers no SHA-256; Hex() ends the
// digest, after which nothing more may be added.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace clinicdb {

class Sha256 {
  public:
    Sha256();
    void Add(const char* data, std::size_t size) { EVP_DigestUpdate(context_.get(), data, size); }
    void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }
    // The digest in lower-case hex.
    std::string Hex();

  private:
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> context_;
};

}  // namespace clinicdb
