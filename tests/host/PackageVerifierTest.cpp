#include "host/PackageVerifier.h"

#include <gtest/gtest.h>

#include "tests/host/HostTestEnvironment.h"
#include "tests/host/TestSigningKey.h"

namespace vx::host {
namespace {

using test::HostTestRoot;
using test::TestSigningKey;

TEST(PackageVerifier, AcceptsOnlyTheTrustedKeysSignatureOfTheExactText) {
  TestSigningKey maker;
  TestSigningKey other;
  std::string registry = "COMPSTART\nNAME = Vantessel\nCOMPEND\n";
  std::string signature = maker.Sign(registry);
  EXPECT_TRUE(VerifySignature(maker.PublicPem(), registry, signature));

  EXPECT_FALSE(VerifySignature(other.PublicPem(), registry, signature));
  EXPECT_FALSE(VerifySignature(maker.PublicPem(), registry + " ", signature));
  std::string flipped = signature;
  flipped[10] = static_cast<char>(flipped[10] ^ 1);
  EXPECT_FALSE(VerifySignature(maker.PublicPem(), registry, flipped));
  EXPECT_FALSE(VerifySignature(maker.PublicPem(), registry, signature.substr(0, 63)));
  EXPECT_FALSE(VerifySignature(maker.PublicPem(), registry, ""));
  EXPECT_FALSE(VerifySignature("", registry, signature));
  EXPECT_FALSE(VerifySignature("-----BEGIN PUBLIC KEY-----\nnonsense\n-----END PUBLIC KEY-----\n", registry, signature));
}

TEST(PackageVerifier, DigestsFilesAsLowerCaseHex) {
  HostTestRoot root;
  std::string path = HostTestRoot::Components() + "abc.so.gz";
  HostTestRoot::WriteFile(path, "abc");
  EXPECT_EQ(Sha256OfFile(path), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_FALSE(Sha256OfFile(HostTestRoot::Components() + "missing"));
}

TEST(PackageVerifier, TheDefaultBuildTrustsNoKey) { EXPECT_EQ(BuiltInUpdateKey(), ""); }

}  // namespace
}  // namespace vx::host
