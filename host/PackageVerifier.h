// Checks that component packages come from the maker: the component registry
// must carry a detached Ed25519 signature by the trusted public key, and each
// package must match the SHA-256 digest the registry lists for it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vx::host {

// The public key (PEM) this build was configured with; empty when none was,
// in which case the host never downloads or loads code.
std::string BuiltInUpdateKey();

// True only when `signature` is a valid Ed25519 signature of `message` by
// the PEM public key `publicKeyPem`.
[[nodiscard]] bool VerifySignature(std::string_view publicKeyPem, std::string_view message, std::string_view signature);

// The SHA-256 digest of a file as 64 lower-case hex digits; nothing when the
// file cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace vx::host
