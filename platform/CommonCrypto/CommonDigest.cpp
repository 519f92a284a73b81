#include "CommonCrypto/CommonDigest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace {

// One-shot digest through OpenSSL's EVP interface. OpenSSL reports failure
// only for allocation or provider faults; the digest is then all zeros
// rather than stale memory.
unsigned char* digest(const EVP_MD* type, size_t length, const void* data, CC_LONG len,
                      unsigned char* md) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
    bool ok = context && EVP_DigestInit_ex(context.get(), type, nullptr) == 1 &&
              EVP_DigestUpdate(context.get(), data, len) == 1 &&
              EVP_DigestFinal_ex(context.get(), md, nullptr) == 1;
    if (!ok)
        std::fill(md, md + length, 0);
    return md;
}

}  // namespace

unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md) {
    return digest(EVP_md5(), CC_MD5_DIGEST_LENGTH, data, len, md);
}

unsigned char* CC_SHA1(const void* data, CC_LONG len, unsigned char* md) {
    return digest(EVP_sha1(), CC_SHA1_DIGEST_LENGTH, data, len, md);
}

unsigned char* CC_SHA256(const void* data, CC_LONG len, unsigned char* md) {
    return digest(EVP_sha256(), CC_SHA256_DIGEST_LENGTH, data, len, md);
}

int CC_MD5_Init(CC_MD5_CTX* c) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (!context || EVP_DigestInit_ex(context, EVP_md5(), nullptr) != 1) {
        EVP_MD_CTX_free(context);
        c->context = nullptr;
        return 0;
    }
    c->context = context;
    return 1;
}

int CC_MD5_Update(CC_MD5_CTX* c, const void* data, CC_LONG len) {
    return c->context && EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(c->context), data, len) == 1;
}

int CC_MD5_Final(unsigned char* md, CC_MD5_CTX* c) {
    auto* context = static_cast<EVP_MD_CTX*>(c->context);
    const bool ok = context && EVP_DigestFinal_ex(context, md, nullptr) == 1;
    if (!ok)
        std::fill(md, md + CC_MD5_DIGEST_LENGTH, 0);
    EVP_MD_CTX_free(context);
    c->context = nullptr;
    return ok;
}
