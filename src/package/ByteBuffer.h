// TByteBuffer: bytes whose storage is kept from one use to the next.
//
// The extraction reads and inflates thousands of entries of up to some MiB
// each. With a fresh std::string per entry, every entry paid for a new
// allocation, for the system to map and zero its pages, and for the string
// to zero-fill them once more before they were overwritten. This buffer
// grows without filling, and shrinking keeps its capacity, so the storage is
// allocated once for the largest entry and reused.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

class TByteBuffer {
public:
    TByteBuffer() = default;
    TByteBuffer(TByteBuffer&&) noexcept = default;
    TByteBuffer& operator=(TByteBuffer&&) noexcept = default;

    size_t size() const { return Size; }
    bool empty() const { return Size == 0; }
    size_t capacity() const { return Capacity; }
    char* data() { return Bytes.get(); }
    const char* data() const { return Bytes.get(); }
    std::string_view view() const { return {Bytes.get(), Size}; }

    // Sets the size to n. Bytes past the old size hold nothing defined until
    // they are written. When the storage must grow, only the first keep bytes
    // are carried over. False, with the buffer as it was, when the memory is
    // not there (no exception: the launcher is built without them).
    [[nodiscard]] bool resize(size_t n, size_t keep = 0)
    {
        if (n > Capacity) {
            std::unique_ptr<char[]> grown(new (std::nothrow) char[n]);
            if (!grown) return false;
            keep = std::min(keep, Size);
            if (keep) std::memcpy(grown.get(), Bytes.get(), keep);
            Bytes = std::move(grown);
            Capacity = n;
        }
        Size = n;
        return true;
    }
    [[nodiscard]] bool assign(std::string_view bytes)
    {
        if (!resize(bytes.size())) return false;
        if (!bytes.empty()) std::memcpy(Bytes.get(), bytes.data(), bytes.size());
        return true;
    }
    void clear() { Size = 0; }

private:
    std::unique_ptr<char[]> Bytes;
    size_t Size = 0;
    size_t Capacity = 0;
};
