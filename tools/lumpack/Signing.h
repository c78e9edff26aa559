// Update keys and INFO signatures. An agent pins the public half of an
// RSA-3072 key (its DER SubjectPublicKeyInfo, as hex in the settings block)
// and accepts an INFO file only with a signature over its exact bytes:
// PKCS#1 v1.5 with SHA-256, the 384 signature bytes big-endian as OpenSSL
// writes them (`openssl dgst -sha256 -sign`). RSA with SHA-256 is what the
// oldest Windows the agent runs on can verify.
//
// The Linux lumpack signs with OpenSSL's libcrypto; a lumpack built without
// it answers every call here with an error that says so.
#pragma once

#include <cstddef>
#include <string>

constexpr int kUpdateKeyBits = 3072;
constexpr size_t kSignatureBytes = kUpdateKeyBits / 8;

// Every function returns the empty text on success, else the error.

// A fresh key pair: the private key (PEM, PKCS#8, unencrypted) is created
// with mode 0600 from the start and never replaces a file; the public key
// (PEM) likewise never replaces one. Nothing is left behind on failure.
std::string MakeKeyPair(const std::string& privatePath, const std::string& publicPath);

// The DER SubjectPublicKeyInfo of the public key in the file (PEM or DER),
// checked to be an RSA-3072 key.
std::string ReadPublicKey(const std::string& path, std::string& der);

// The DER SubjectPublicKeyInfo of the private key's public half, checked
// to be an RSA-3072 key.
std::string PublicKeyOfPrivate(const std::string& privatePath, std::string& der);

// The signature of data with the private key in the file.
std::string SignData(const std::string& privatePath, const std::string& data, std::string& signature);

// Empty when signature is the key's signature of data.
std::string VerifyData(const std::string& publicDer, const std::string& data, const std::string& signature);
