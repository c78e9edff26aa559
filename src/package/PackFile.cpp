#include "package/PackFile.h"

#include <cstring>

// The C library's 64-bit seek and tell: MinGW (msvcrt) and POSIX name them differently.
#ifdef _WIN32
#define LUM_FSEEK64 _fseeki64
#define LUM_FTELL64 _ftelli64
#else
#define LUM_FSEEK64 fseeko
#define LUM_FTELL64 ftello
#endif

bool TPackSource::ReadExact(int64_t offset, void* buffer, size_t count) {
    return ReadAt(offset, buffer, count) == count;
}

bool TPackSource::ReadU32(int64_t offset, uint32_t& value) {
    unsigned char b[4];
    if (!ReadExact(offset, b, 4)) return false;
    value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

size_t TMemorySource::ReadAt(int64_t offset, void* buffer, size_t count) {
    if (offset < 0 || static_cast<uint64_t>(offset) >= Bytes.size() || count == 0) return 0;
    size_t n = Bytes.size() - static_cast<size_t>(offset);
    if (n > count) n = count;
    std::memcpy(buffer, Bytes.data() + offset, n);
    return n;
}

TPackFile& TPackFile::operator=(TPackFile&& other) noexcept {
    if (this != &other) {
        Close();
        File = other.File;
        other.File = nullptr;
    }
    return *this;
}

bool TPackFile::Open(const std::string& fileName, const char* mode) {
    Close();
    File = std::fopen(fileName.c_str(), mode);
    return File != nullptr;
}

bool TPackFile::Close() {
    if (!File) return true;
    bool ok = std::fclose(File) == 0;
    File = nullptr;
    return ok;
}

bool TPackFile::SeekTo(int64_t offset) {
    return File && offset >= 0 && LUM_FSEEK64(File, offset, SEEK_SET) == 0;
}

int64_t TPackFile::Size() {
    if (!File || LUM_FSEEK64(File, 0, SEEK_END) != 0) return -1;
    return LUM_FTELL64(File);
}

size_t TPackFile::ReadAt(int64_t offset, void* buffer, size_t count) {
    if (count == 0 || !SeekTo(offset)) return 0;
    return std::fread(buffer, 1, count, File);
}

bool TPackFile::WriteAt(int64_t offset, const void* buffer, size_t count) {
    return SeekTo(offset) && std::fwrite(buffer, 1, count, File) == count;
}

bool TPackFile::Append(const void* buffer, size_t count) {
    if (!File || LUM_FSEEK64(File, 0, SEEK_END) != 0) return false;
    return std::fwrite(buffer, 1, count, File) == count;
}

void PutU32(std::string& bytes, size_t offset, uint32_t value) {
    if (bytes.size() < offset + 4) bytes.resize(offset + 4, '\0');
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetU32(std::string_view bytes, size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return v;
}

std::string U32Bytes(uint32_t value) {
    std::string s;
    PutU32(s, 0, value);
    return s;
}
