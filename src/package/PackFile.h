// Byte sources for the package reader, and the one file type of the package
// code. Readers take a TPackSource so that the same decisions run on a file
// on disk (the stub, lumpack) and on bytes in memory (tests, the fuzzer).
// Reads are positioned (offset, count): a reader never depends on where a
// previous read left a file pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class TPackSource {
public:
    virtual ~TPackSource() = default;
    // Size in bytes; -1 when it cannot be determined.
    virtual int64_t Size() = 0;
    // Reads up to count bytes at offset; returns how many were read (fewer at
    // the end of the data, 0 for a negative offset or after a failure).
    virtual size_t ReadAt(int64_t offset, void* buffer, size_t count) = 0;

    // Reads exactly count bytes; false (and nothing trusted) when fewer came.
    bool ReadExact(int64_t offset, void* buffer, size_t count);
    // Little-endian 32-bit word at offset; false when the file ends first.
    bool ReadU32(int64_t offset, uint32_t& value);
};

// Bytes held by the caller (not copied: the view must outlive the source).
class TMemorySource : public TPackSource {
public:
    explicit TMemorySource(std::string_view bytes) : Bytes(bytes) {}
    explicit TMemorySource(std::string&&) = delete;  // a temporary would leave the view dangling
    int64_t Size() override { return static_cast<int64_t>(Bytes.size()); }
    size_t ReadAt(int64_t offset, void* buffer, size_t count) override;

private:
    std::string_view Bytes;
};

// A std::FILE with 64-bit offsets, move-only, closed by its destructor.
// Files are opened with the C library's default sharing, which on Windows
// lets other processes read and write them meanwhile (a running stub reads
// its own executable this way).
class TPackFile : public TPackSource {
public:
    TPackFile() = default;
    ~TPackFile() override { Close(); }
    TPackFile(TPackFile&& other) noexcept : File(other.File) { other.File = nullptr; }
    TPackFile& operator=(TPackFile&& other) noexcept;
    TPackFile(const TPackFile&) = delete;
    TPackFile& operator=(const TPackFile&) = delete;

    // mode as for fopen ("rb", "wb", "r+b"); false when the file cannot be opened.
    bool Open(const std::string& fileName, const char* mode = "rb");
    bool IsOpen() const { return File != nullptr; }
    // Flushes and closes; false when buffered data could not be written.
    bool Close();

    int64_t Size() override;
    size_t ReadAt(int64_t offset, void* buffer, size_t count) override;
    // Writes all bytes at offset (for patching) or at the end; false on failure.
    bool WriteAt(int64_t offset, const void* buffer, size_t count);
    bool Append(const void* buffer, size_t count);
    bool Append(std::string_view bytes) { return Append(bytes.data(), bytes.size()); }

private:
    bool SeekTo(int64_t offset);
    std::FILE* File = nullptr;
};

// Little-endian helpers for building and parsing byte strings.
void PutU32(std::string& bytes, size_t offset, uint32_t value);
uint32_t GetU32(std::string_view bytes, size_t offset);
std::string U32Bytes(uint32_t value);
