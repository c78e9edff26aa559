// Update keys and INFO signatures in a lumpack built without OpenSSL (the
// Windows build): every call says where they are to be had.
#include "Signing.h"

namespace {

std::string Unavailable() {
    return "update keys and signatures need the Linux lumpack (built with OpenSSL's libcrypto)";
}

}  // namespace

std::string MakeKeyPair(const std::string&, const std::string&) { return Unavailable(); }
std::string ReadPublicKey(const std::string&, std::string&) { return Unavailable(); }
std::string PublicKeyOfPrivate(const std::string&, std::string&) { return Unavailable(); }
std::string SignData(const std::string&, const std::string&, std::string&) { return Unavailable(); }
std::string VerifyData(const std::string&, const std::string&, const std::string&) { return Unavailable(); }
