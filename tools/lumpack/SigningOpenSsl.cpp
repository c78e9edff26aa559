// Update keys and INFO signatures with OpenSSL 3's EVP interface.
#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "Signing.h"

namespace {

struct TKeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct TBioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct TMdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using TKey = std::unique_ptr<EVP_PKEY, TKeyFree>;
using TBio = std::unique_ptr<BIO, TBioFree>;
using TMdCtx = std::unique_ptr<EVP_MD_CTX, TMdCtxFree>;

// OpenSSL's reason for the last failure, or the fallback.
std::string OpenSslReason(const std::string& fallback) {
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0) return fallback;
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    return fallback + " (" + buf + ")";
}

std::string CheckKind(EVP_PKEY* key, const std::string& path) {
    if (!EVP_PKEY_is_a(key, "RSA") || EVP_PKEY_get_bits(key) != kUpdateKeyBits)
        return "'" + path + "' is not an RSA-" + std::to_string(kUpdateKeyBits) +
               " key, the one kind of update key an agent verifies";
    return "";
}

std::string DerOfPublic(EVP_PKEY* key, std::string& der) {
    unsigned char* out = nullptr;
    const int n = i2d_PUBKEY(key, &out);
    if (n <= 0) return OpenSslReason("cannot encode the public key");
    der.assign(reinterpret_cast<const char*>(out), static_cast<size_t>(n));
    OPENSSL_free(out);
    return "";
}

std::string LoadPrivate(const std::string& path, TKey& key) {
    TBio bio(BIO_new_file(path.c_str(), "rb"));
    if (!bio) return "cannot read the private key '" + path + "'";
    // An empty passphrase callback: an encrypted key is refused rather than
    // asked for on a terminal that a build job may not have.
    key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, [](char*, int, int, void*) { return 0; }, nullptr));
    if (!key) return OpenSslReason("'" + path + "' holds no unencrypted private key in PEM form");
    return CheckKind(key.get(), path);
}

// Writes text to a file that must not exist yet, created with mode.
std::string WriteNewFile(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
    if (fd < 0)
        return errno == EEXIST ? "'" + path + "' exists already: lumpack never replaces a key"
                               : "cannot create '" + path + "': " + std::strerror(errno);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool ok = done == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(path.c_str());
        return "cannot write '" + path + "'";
    }
    return "";
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

}  // namespace

std::string MakeKeyPair(const std::string& privatePath, const std::string& publicPath) {
    TKey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(kUpdateKeyBits)));
    if (!key) return OpenSslReason("cannot generate an RSA key");
    // The private key's buffer is wiped when it is freed.
    TBio priv(BIO_new(BIO_s_secmem())), pub(BIO_new(BIO_s_mem()));
    if (!priv || !pub || PEM_write_bio_PrivateKey(priv.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        PEM_write_bio_PUBKEY(pub.get(), key.get()) != 1)
        return OpenSslReason("cannot encode the key pair");
    std::string privateText = BioText(priv.get());
    const std::string publicText = BioText(pub.get());
    if (privateText.empty() || publicText.empty()) return "cannot encode the key pair";
    // Neither file may replace one: a lost private key cannot be recovered.
    struct stat st;
    if (::lstat(publicPath.c_str(), &st) == 0) return "'" + publicPath + "' exists already: lumpack never replaces a key";
    std::string e = WriteNewFile(privatePath, privateText, S_IRUSR | S_IWUSR);
    OPENSSL_cleanse(privateText.data(), privateText.size());
    if (!e.empty()) return e;
    if (e = WriteNewFile(publicPath, publicText, 0644); !e.empty()) {
        ::unlink(privatePath.c_str());
        return e;
    }
    return "";
}

std::string ReadPublicKey(const std::string& path, std::string& der) {
    TBio bio(BIO_new_file(path.c_str(), "rb"));
    if (!bio) return "cannot read the public key '" + path + "'";
    TKey key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key) {
        // Not PEM: perhaps the DER form itself.
        ERR_clear_error();
        BIO_reset(bio.get());
        key.reset(d2i_PUBKEY_bio(bio.get(), nullptr));
    }
    if (!key) return OpenSslReason("'" + path + "' holds no public key (PEM \"PUBLIC KEY\" or DER)");
    if (auto e = CheckKind(key.get(), path); !e.empty()) return e;
    return DerOfPublic(key.get(), der);
}

std::string PublicKeyOfPrivate(const std::string& privatePath, std::string& der) {
    TKey key;
    if (auto e = LoadPrivate(privatePath, key); !e.empty()) return e;
    return DerOfPublic(key.get(), der);
}

std::string SignData(const std::string& privatePath, const std::string& data, std::string& signature) {
    TKey key;
    if (auto e = LoadPrivate(privatePath, key); !e.empty()) return e;
    TMdCtx ctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX* pctx = nullptr;  // owned by ctx
    if (!ctx || EVP_DigestSignInit(ctx.get(), &pctx, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) != 1)
        return OpenSslReason("cannot start the signature");
    size_t n = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    if (EVP_DigestSign(ctx.get(), nullptr, &n, bytes, data.size()) != 1) return OpenSslReason("cannot sign");
    signature.assign(n, '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &n, bytes, data.size()) != 1)
        return OpenSslReason("cannot sign");
    signature.resize(n);
    if (signature.size() != kSignatureBytes) return "the signature is not " + std::to_string(kSignatureBytes) + " bytes";
    return "";
}

std::string VerifyData(const std::string& publicDer, const std::string& data, const std::string& signature) {
    const auto* p = reinterpret_cast<const unsigned char*>(publicDer.data());
    TKey key(d2i_PUBKEY(nullptr, &p, static_cast<long>(publicDer.size())));
    if (!key) return OpenSslReason("the public key does not decode");
    if (signature.size() != kSignatureBytes)
        return "the signature has " + std::to_string(signature.size()) + " bytes, not " + std::to_string(kSignatureBytes);
    TMdCtx ctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX* pctx = nullptr;
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), &pctx, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) != 1)
        return OpenSslReason("cannot start the verification");
    const int r = EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                                   reinterpret_cast<const unsigned char*>(data.data()), data.size());
    ERR_clear_error();
    return r == 1 ? "" : "the signature does not verify with the key";
}
