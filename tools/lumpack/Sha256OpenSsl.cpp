// The builder's SHA-256 on Linux: OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "sys/Sha256.h"

bool Sha256OfFile(const std::string& path, TFileDigest& digest)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return false;
    std::vector<unsigned char> buffer(1 << 16);
    uint64_t size = 0;
    for (;;) {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n > 0 && EVP_DigestUpdate(ctx.get(), buffer.data(), n) != 1) return false;
        size += n;
        if (n < buffer.size()) {
            if (std::ferror(file.get())) return false;
            break;
        }
    }
    unsigned char value[kSha256Bytes];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), value, &length) != 1 || length != kSha256Bytes) return false;
    digest.Size = size;
    digest.Sha256 = HexText(value, kSha256Bytes);
    return true;
}
