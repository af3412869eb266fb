// A fresh Ed25519 key pair made with OpenSSL for one test, standing in for
// the maker's signing key.
#pragma once

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace vx::test {

class TestSigningKey {
 public:
  TestSigningKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {
    if (!key_) std::abort();
  }
  ~TestSigningKey() { EVP_PKEY_free(key_); }
  TestSigningKey(const TestSigningKey&) = delete;
  TestSigningKey& operator=(const TestSigningKey&) = delete;

  std::string PublicPem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(bio, key_);
    char* data = nullptr;
    long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(size));
    BIO_free(bio);
    return pem;
  }

  std::string Sign(std::string_view message) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::string signature(64, '\0');
    size_t size = signature.size();
    if (EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_) != 1 ||
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1)
      std::abort();
    EVP_MD_CTX_free(context);
    return signature;
  }

 private:
  EVP_PKEY* key_;
};

}  // namespace vx::test
