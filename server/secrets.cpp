// The secret through OpenSSL: RAND_bytes for making it, SHA-256 for keeping it, CRYPTO_memcmp
// for comparing.
#include "secrets.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdio>
#include <string_view>

namespace scores {

namespace {

constexpr int kSecretBytes = 32;
constexpr std::size_t kLongestSecret = 128;
constexpr std::string_view kUrlSafe =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

}  // namespace

std::string NewSecret() {
    unsigned char bytes[kSecretBytes];
    if (RAND_bytes(bytes, kSecretBytes) != 1) return {};
    std::string text;
    unsigned bits = 0;
    int count = 0;
    for (const unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 6) {
            count -= 6;
            text += kUrlSafe[(bits >> count) & 63];
        }
    }
    if (count > 0) text += kUrlSafe[(bits << (6 - count)) & 63];
    OPENSSL_cleanse(bytes, sizeof bytes);
    return text;
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string SecretHash(const std::string& secret) {
    return Sha256Hex(secret);
}

bool SameHash(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<std::string> BearerSecret(const std::string& header) {
    if (header.empty()) return std::string();
    constexpr std::string_view kScheme = "bearer ";
    if (header.size() <= kScheme.size()) return std::nullopt;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        const char c = header[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kScheme[i]) {
            return std::nullopt;
        }
    }
    const std::size_t start = header.find_first_not_of(' ', kScheme.size());
    std::string secret = start == std::string::npos ? std::string() : header.substr(start);
    while (!secret.empty() && secret.back() == ' ') secret.pop_back();
    if (secret.empty() || secret.size() > kLongestSecret ||
        secret.find_first_not_of(kUrlSafe) != std::string::npos) {
        return std::nullopt;
    }
    return secret;
}

}  // namespace scores
