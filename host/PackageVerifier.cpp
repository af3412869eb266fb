#include "host/PackageVerifier.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <array>
#include <fstream>
#include <memory>

#include "host/UpdateKey.h"

namespace vx::host {
namespace {

constexpr size_t kEd25519SignatureSize = 64;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Bio = std::unique_ptr<BIO, BioFree>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

Key ReadEd25519Key(std::string_view pem) {
  Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  Key key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
  if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) return nullptr;
  return key;
}

const auto* AsBytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

}  // namespace

std::string BuiltInUpdateKey() { return kBuiltInUpdateKeyPem; }

bool VerifySignature(std::string_view publicKeyPem, std::string_view message, std::string_view signature) {
  if (publicKeyPem.empty() || signature.size() != kEd25519SignatureSize) return false;
  Key key = ReadEd25519Key(publicKeyPem);
  DigestContext context(EVP_MD_CTX_new());
  if (!key || !context) return false;
  // Ed25519 signs the message itself; it takes no separate digest.
  if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
  return EVP_DigestVerify(context.get(), AsBytes(signature), signature.size(), AsBytes(message), message.size()) == 1;
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  DigestContext context(EVP_MD_CTX_new());
  if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
  std::array<char, 64 * 1024> chunk{};
  while (in) {
    in.read(chunk.data(), chunk.size());
    if (in.gcount() > 0 && EVP_DigestUpdate(context.get(), chunk.data(), static_cast<size_t>(in.gcount())) != 1)
      return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

}  // namespace vx::host
