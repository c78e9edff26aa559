// The system primitives of Platform.h from the standard library, for the
// native build (the builder and the tests).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>

#include "sys/Platform.h"

namespace {

// One process-wide recursive mutex stands for every lock: the few sections
// the portable code guards are short, and with a single mutex no two locks
// taken in different orders can deadlock.
std::recursive_mutex& Mutex()
{
    static std::recursive_mutex m;
    return m;
}

}  // namespace

void TLock::Enter()
{
    Mutex().lock();
}

void TLock::Leave()
{
    Mutex().unlock();
}

bool SystemRandomBytes(void* buffer, size_t n)
{
    try {
        std::random_device rd;
        auto* out = static_cast<unsigned char*>(buffer);
        for (size_t i = 0; i < n; i += sizeof(uint32_t)) {
            const uint32_t word = rd();
            std::memcpy(out + i, &word, std::min(sizeof word, n - i));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
