#include "sys/Sha256Win.h"

#include <wincrypt.h>

#include <string>

#include "sys/Handles.h"
#include "sys/Win64.h"

namespace {

using AcquireFn = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
using ReleaseFn = BOOL(WINAPI*)(HCRYPTPROV, DWORD);
using CreateHashFn = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
using HashDataFn = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
using GetHashParamFn = BOOL(WINAPI*)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
using DestroyHashFn = BOOL(WINAPI*)(HCRYPTHASH);
using VerifyFn = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, HCRYPTKEY, LPCSTR, DWORD);
using DestroyKeyFn = BOOL(WINAPI*)(HCRYPTKEY);
using DecodeFn = BOOL(WINAPI*)(DWORD, LPCSTR, const BYTE*, DWORD, DWORD, PCRYPT_DECODE_PARA, void*, DWORD*);
using ImportFn = BOOL(WINAPI*)(HCRYPTPROV, DWORD, PCERT_PUBLIC_KEY_INFO, HCRYPTKEY*);

struct TCryptApi {
    AcquireFn Acquire = nullptr;
    ReleaseFn Release = nullptr;
    CreateHashFn CreateHash = nullptr;
    HashDataFn HashData = nullptr;
    GetHashParamFn GetHashParam = nullptr;
    DestroyHashFn DestroyHash = nullptr;
    // Signatures: advapi32's, and crypt32's key import, bound at first use.
    VerifyFn Verify = nullptr;
    DestroyKeyFn DestroyKey = nullptr;
    DecodeFn Decode = nullptr;
    ImportFn Import = nullptr;
    bool Complete() const { return Acquire && Release && CreateHash && HashData && GetHashParam && DestroyHash; }
};

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& fn)
{
    fn = ProcCast<Fn>(::GetProcAddress(module, name));
}

const TCryptApi& CryptApi()
{
    static TCryptApi api = [] {
        TCryptApi a;
        HMODULE module = LoadSystemLibrary("advapi32.dll");
        if (!module) return a;
        Bind(module, "CryptAcquireContextA", a.Acquire);
        Bind(module, "CryptReleaseContext", a.Release);
        Bind(module, "CryptCreateHash", a.CreateHash);
        Bind(module, "CryptHashData", a.HashData);
        Bind(module, "CryptGetHashParam", a.GetHashParam);
        Bind(module, "CryptDestroyHash", a.DestroyHash);
        Bind(module, "CryptVerifySignatureA", a.Verify);
        Bind(module, "CryptDestroyKey", a.DestroyKey);
        return a;
    }();
    return api;
}

// The provider context and the hash object, released in reverse order.
class TSha256Hash {
public:
    explicit TSha256Hash(const TCryptApi& api) : api_(api)
    {
        if (!api_.Acquire(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
            provider_ = 0;
            return;
        }
        if (!api_.CreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) hash_ = 0;
    }
    ~TSha256Hash()
    {
        if (hash_) api_.DestroyHash(hash_);
        if (provider_) api_.Release(provider_, 0);
    }
    TSha256Hash(const TSha256Hash&) = delete;
    TSha256Hash& operator=(const TSha256Hash&) = delete;

    bool Ready() const { return hash_ != 0; }
    HCRYPTPROV Provider() const { return provider_; }
    HCRYPTHASH Handle() const { return hash_; }
    bool Add(const BYTE* data, DWORD n) { return api_.HashData(hash_, data, n, 0) != FALSE; }
    bool Finish(BYTE (&digest)[kSha256Bytes])
    {
        DWORD length = kSha256Bytes;
        return api_.GetHashParam(hash_, HP_HASHVAL, digest, &length, 0) && length == kSha256Bytes;
    }

private:
    const TCryptApi& api_;
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
};

}  // namespace

bool Sha256OfHandle(HANDLE file, TFileDigest& digest)
{
    const TCryptApi& api = CryptApi();
    if (!api.Complete() || file == INVALID_HANDLE_VALUE || !file) return false;
    TSha256Hash hash(api);
    if (!hash.Ready()) return false;
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    std::string buffer(65536, '\0');
    uint64_t size = 0;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) return false;
        if (n == 0) break;
        if (!hash.Add(reinterpret_cast<const BYTE*>(buffer.data()), n)) return false;
        size += n;
    }
    BYTE value[kSha256Bytes];
    if (!hash.Finish(value)) return false;
    digest.Size = size;
    digest.Sha256 = HexText(value, kSha256Bytes);
    return true;
}

bool Sha256OfFile(const std::string& path, TFileDigest& digest)
{
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file && Sha256OfHandle(file.Get(), digest);
}

bool VerifySha256Signature(const std::string& keyDer, const std::string& data, const std::string& signature,
                           std::string& error)
{
    // Only a signature could be checked when the key could be read: the
    // reasons stay apart.
    error = "the system cannot verify signatures";
    TCryptApi api = CryptApi();
    if (HMODULE crypt32 = LoadSystemLibrary("crypt32.dll")) {
        Bind(crypt32, "CryptDecodeObjectEx", api.Decode);
        Bind(crypt32, "CryptImportPublicKeyInfo", api.Import);
    }
    if (!api.Complete() || !api.Verify || !api.DestroyKey || !api.Decode || !api.Import) return false;
    TSha256Hash hash(api);
    if (!hash.Ready()) return false;
    void* info = nullptr;
    DWORD infoSize = 0;
    HCRYPTKEY key = 0;
    const bool read = api.Decode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, reinterpret_cast<const BYTE*>(keyDer.data()),
                                 static_cast<DWORD>(keyDer.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &info,
                                 &infoSize) &&
                      api.Import(hash.Provider(), X509_ASN_ENCODING, static_cast<PCERT_PUBLIC_KEY_INFO>(info), &key);
    if (info) ::LocalFree(info);
    if (!read) {
        error = "the update key cannot be read";
        return false;
    }
    // CryptoAPI takes the signature's bytes lowest first.
    const std::string reversed(signature.rbegin(), signature.rend());
    const bool valid = hash.Add(reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())) &&
                       api.Verify(hash.Handle(), reinterpret_cast<const BYTE*>(reversed.data()),
                                  static_cast<DWORD>(reversed.size()), key, nullptr, 0);
    api.DestroyKey(key);
    error = valid ? "" : "the signature does not match";
    return valid;
}
