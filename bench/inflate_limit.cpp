// The extraction benchmark's limit: the least a Windows program must do to
// unpack a one-volume package. It reads each entry whole with one read,
// inflates it straight into a 1 MiB buffer that is written as it fills, keeps
// a file open while its entries follow one another, creates folder entries,
// and stamps each file's time. No message queue, no progress, no checks
// beyond what keeps it from crashing on our own packages.
//
//   inflate_limit PACKAGE FOLDER
// prints "elapsed_ms=<ms> bytes=<bytes written> files=<n>" and exits 0 (1 on
// a fault, with the reason).
//
// Built by bench/extract_bench.py with the Windows tree's compiler.
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t kOut = 1 << 20;

struct TOutput {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string name;
    uint32_t dosTime = 0;
    uint64_t bytes = 0;
    int files = 0;

    void Close()
    {
        if (file == INVALID_HANDLE_VALUE) return;
        FILETIME local, utc;
        if (dosTime && DosDateTimeToFileTime(HIWORD(dosTime), LOWORD(dosTime), &local) &&
            LocalFileTimeToFileTime(&local, &utc))
            SetFileTime(file, nullptr, nullptr, &utc);
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    bool Open(const std::string& folder, const std::string& entryName, uint32_t time)
    {
        if (file != INVALID_HANDLE_VALUE && entryName == name) return true;  // the next part of the same file
        Close();
        name = entryName;
        dosTime = time;
        file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        ++files;
        return file != INVALID_HANDLE_VALUE;
    }
    bool Write(const char* data, size_t n)
    {
        DWORD done = 0;
        if (n && (!WriteFile(file, data, static_cast<DWORD>(n), &done, nullptr) || done != n)) return false;
        bytes += n;
        return true;
    }
};

uint32_t U32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

bool ReadAt(HANDLE f, uint64_t offset, void* buf, DWORD n)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    return SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && ReadFile(f, buf, n, &got, nullptr) && got == n;
}

// "|name|time|": the name (cut before any "*") and the time.
void ParseHeader(const std::string& header, std::string& name, uint32_t& time)
{
    const char sep = header.empty() ? '|' : header[0];
    const size_t a = header.find(sep, 1);
    name = header.substr(1, a == std::string::npos ? std::string::npos : a - 1);
    name = name.substr(0, name.find('*'));
    time = a == std::string::npos ? 0 : static_cast<uint32_t>(std::strtoll(header.c_str() + a + 1, nullptr, 10));
}

// Handles one entry's content, given piece by piece: the header up to the
// first NUL, then data.
struct TContent {
    TOutput& out;
    const std::string& folder;
    std::string header;
    bool inData = false;
    bool skip = false;

    bool Feed(const char* p, size_t n)
    {
        if (!inData) {
            const char* nul = static_cast<const char*>(memchr(p, 0, n));
            header.append(p, nul ? nul - p : n);
            if (!nul) return true;
            inData = true;
            std::string name;
            uint32_t time = 0;
            ParseHeader(header, name, time);
            if (name.empty() || name.back() == '\\') {
                if (!name.empty()) CreateDirectoryA((folder + "\\" + name).c_str(), nullptr);
                skip = true;
                return true;
            }
            if (!out.Open(folder, name, time)) return false;
            n -= nul + 1 - p;
            p = nul + 1;
        }
        return skip || out.Write(p, n);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: inflate_limit PACKAGE FOLDER\n");
        return 2;
    }
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);

    const std::string folder = argv[2];
    CreateDirectoryA(folder.c_str(), nullptr);
    HANDLE f = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::fprintf(stderr, "cannot open the package\n"), 1;
    unsigned char head[256 + 8];
    LARGE_INTEGER size;
    GetFileSizeEx(f, &size);
    if (!ReadAt(f, 0, head, sizeof head)) return 1;
    uint64_t end = (static_cast<uint64_t>(U32(head + 248)) << 32) | U32(head + 252);
    if (end == 0) end = static_cast<uint64_t>(size.QuadPart);
    unsigned char trailer[74];
    if (!ReadAt(f, end - 74, trailer, 74)) return 1;
    const int blockCount = trailer[1] ? trailer[1] : 2;
    uint64_t pos = U32(trailer + 4);
    for (int i = 0; i < blockCount; ++i) {
        unsigned char len[4];
        if (!ReadAt(f, pos, len, 4)) return 1;
        pos += 4 + U32(len);
    }

    TOutput out;
    std::vector<char> body, buffer(kOut);
    while (pos + 4 <= end - 74) {
        unsigned char len[4];
        if (!ReadAt(f, pos, len, 4)) return 1;
        const int32_t l = static_cast<int32_t>(U32(len));
        const uint32_t n = l < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(l)) : static_cast<uint32_t>(l);
        body.resize(n);
        DWORD got = 0;
        if (n && (!ReadFile(f, body.data(), n, &got, nullptr) || got != n)) return 1;
        pos += 4 + n;
        TContent content{out, folder, {}, false, false};
        if (l <= 0) {
            if (!content.Feed(body.data(), n)) return std::fprintf(stderr, "write failed\n"), 1;
            continue;
        }
        z_stream z{};
        inflateInit(&z);
        z.next_in = reinterpret_cast<Bytef*>(body.data());
        z.avail_in = n;
        int rc = Z_OK;
        while (rc == Z_OK) {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = kOut;
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END) return std::fprintf(stderr, "inflate: %d\n", rc), 1;
            if (!content.Feed(buffer.data(), kOut - z.avail_out)) return std::fprintf(stderr, "write failed\n"), 1;
        }
        inflateEnd(&z);
    }
    out.Close();
    CloseHandle(f);
    QueryPerformanceCounter(&t1);
    std::printf("elapsed_ms=%.0f bytes=%llu files=%d\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart,
                static_cast<unsigned long long>(out.bytes), out.files);
    return 0;
}
