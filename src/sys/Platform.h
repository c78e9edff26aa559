// The two system primitives under the portable code: a lock for the few
// globals that threads share, and random numbers from the system's entropy
// source. The Windows build takes the system's own (PlatformWin.cpp: a slim
// reader/writer lock and RtlGenRandom), the native build the standard
// library's (PlatformStd.cpp). The launcher avoids std::mutex and
// std::random_device: they pull in the threads library, std::system_error
// and a second string implementation, tens of KB for a few calls.
#pragma once

#include <cstddef>

// A non-recursive lock that needs no set-up: zero is its free state, so a
// global one is constant-initialised and usable from any static initialiser.
class TLock {
public:
    constexpr TLock() = default;
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

    void Enter();
    void Leave();

private:
    void* State = nullptr;
};

class TLockGuard {
public:
    explicit TLockGuard(TLock& lock) : Lock(lock) { Lock.Enter(); }
    ~TLockGuard() { Lock.Leave(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;

private:
    TLock& Lock;
};

// Fills buffer with n bytes from the system's entropy source; false (and the
// buffer untouched or partly written) when the system offers none.
bool SystemRandomBytes(void* buffer, size_t n);
