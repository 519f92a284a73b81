#pragma once

#include <cstdint>

// Message digests with CommonCrypto's C interface, computed by OpenSSL.
// Each function writes the digest to md and returns md.
using CC_LONG = uint32_t;

inline constexpr int CC_MD5_DIGEST_LENGTH = 16;
inline constexpr int CC_SHA1_DIGEST_LENGTH = 20;
inline constexpr int CC_SHA256_DIGEST_LENGTH = 32;

unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA1(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA256(const void* data, CC_LONG len, unsigned char* md);

// An MD5 fed in pieces (files too large to hold at once). Init, any number of
// Updates, then Final, which writes the digest and frees the context. Each
// answers 1 on success.
struct CC_MD5_CTX {
    void* context = nullptr;
};
int CC_MD5_Init(CC_MD5_CTX* c);
int CC_MD5_Update(CC_MD5_CTX* c, const void* data, CC_LONG len);
int CC_MD5_Final(unsigned char* md, CC_MD5_CTX* c);
