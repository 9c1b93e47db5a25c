// A name's secret: made when a name is first taken, given to its player once, kept by the server
// only as its SHA-256, and sent with each later run under the name (Authorization: Bearer).
#pragma once

#include <optional>
#include <string>

namespace scores {

// 256 random bits from OpenSSL's generator, as URL-safe base64 without padding (43
// characters); empty when the generator fails.
std::string NewSecret();

// SHA-256 of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

// SHA-256 of the secret, as 64 lower-case hex digits: what the stores keep.
std::string SecretHash(const std::string& secret);

// Whether two hashes are the same, in a time that does not depend on where they differ.
bool SameHash(const std::string& a, const std::string& b);

// The secret an Authorization header carries: "" for no header; nullopt for a header that is
// not "Bearer" and a secret of URL-safe base64 (at most 128 characters).
std::optional<std::string> BearerSecret(const std::string& header);

}  // namespace scores
