// SHA-256 through the system's CryptoAPI (the AES provider, which has had
// SHA-256 since Windows XP SP3). The file is read in pieces, never whole.
#include "agent/AgentHash.h"

#include <windows.h>
#include <wincrypt.h>

#include "sys/Handles.h"
#include "sys/Utils.h"

namespace {
struct TCrypt {
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    ~TCrypt()
    {
        if (hash) CryptDestroyHash(hash);
        if (prov) CryptReleaseContext(prov, 0);
    }
};
}  // namespace

std::string FileSHA256Hex(const std::string& path)
{
    FileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return "";
    TCrypt c;
    if (!CryptAcquireContextA(&c.prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptCreateHash(c.prov, CALG_SHA_256, 0, 0, &c.hash))
        return "";
    std::string buffer(65536, '\0');
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(f.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return "";
        if (got == 0) break;
        if (!CryptHashData(c.hash, reinterpret_cast<const BYTE*>(buffer.data()), got, 0)) return "";
    }
    BYTE digest[32];
    DWORD size = sizeof digest;
    if (!CryptGetHashParam(c.hash, HP_HASHVAL, digest, &size, 0) || size != sizeof digest) return "";
    return HexEncode(std::string(reinterpret_cast<const char*>(digest), size));
}
