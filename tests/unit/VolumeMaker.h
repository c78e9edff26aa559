// Builds package volumes byte by byte for the extraction tests, so that a
// test can hold any entry it likes, hostile ones included: a small fake stub
// image (MZ, PE at 256, the package-end mark), the two header blocks, the
// entries and the trailer. Shared by the native and the Windows tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/PackEntry.h"
#include "package/PackFile.h"
#include "package/PackX.h"

namespace volumes {

constexpr size_t kStubImageSize = 1024;

inline std::string StubImage()
{
    std::string image(kStubImageSize, '\x5A');
    image[0] = 'M';
    image[1] = 'Z';
    image.replace(248, 8, 8, '\0');
    image.replace(256, 4, std::string("PE\0\0", 4));
    return image;
}

inline std::string Block(const std::string& text) { return U32Bytes(static_cast<uint32_t>(text.size())) + text; }

// An entry as the builder writes it (zlib when that is smaller).
inline std::string Entry(const std::string& header, const std::string& data)
{
    return EncodeEntry(header, data.data(), data.size());
}

inline std::string Stored(const std::string& header, const std::string& data)
{
    const std::string content = header + std::string(1, '\0') + data;
    return U32Bytes(static_cast<uint32_t>(-static_cast<int32_t>(content.size()))) + content;
}

inline std::string Compressed(const std::string& header, const std::string& data)
{
    const std::string body = DeflateBuffer(header + std::string(1, '\0') + data, 9);
    return U32Bytes(static_cast<uint32_t>(body.size())) + body;
}

// A zlib entry whose deflate data is damaged (its Adler-32 no longer fits).
inline std::string CorruptCompressed(const std::string& header, const std::string& data)
{
    std::string e = Compressed(header, data);
    for (size_t i = e.size() / 2; i < e.size() / 2 + 4 && i < e.size(); ++i) e[i] = static_cast<char>(e[i] ^ 0x5A);
    return e;
}

inline std::string Header(const std::string& name, int32_t dosTime) { return MakeEntryHeader(name, dosTime); }

struct TVolumeLayout {
    bool withStub = false;            // first volume of an .exe package
    std::vector<std::string> entries; // framed entries, back to back
    uint32_t filesCount = 0;
    uint8_t flags = 0;
    uint32_t declaredSize = 0;        // the trailer's exact SpaceRequired (0: none declared)
    uint32_t checksum = kUncomputedChecksum;
    bool realChecksum = false;        // the computed sum instead of checksum
    std::string afterPackage;         // bytes past the package end (needs withStub)
};

// The volume's bytes.
inline std::string MakeVolume(const TVolumeLayout& layout)
{
    std::string bytes = layout.withStub ? StubImage() : std::string();
    TPackageTrailer t{};
    t.Tag = 1;
    t.BlockCount = 2;
    t.BlocksOffset = static_cast<uint32_t>(bytes.size());
    t.FilesCount = layout.filesCount;
    t.Magic = PackageMagic;
    t.Checksum = layout.checksum;
    t.Flags = layout.flags;
    t.SpaceRequired[0] = layout.declaredSize;
    t.TrailerSize = kTrailerSize;
    bytes += Block("\x02" "English\x01" "s0=Setup\x01\x02");
    bytes += Block("|http://x/|info.ini|agent.exe|token|0|");
    for (const std::string& e : layout.entries) bytes += e;
    bytes += TrailerBytes(t);
    if (layout.withStub) {
        const uint64_t end = bytes.size();
        PutU32(bytes, 248, static_cast<uint32_t>(end >> 32));
        PutU32(bytes, 252, static_cast<uint32_t>(end));
        bytes += layout.afterPackage;
    }
    if (layout.realChecksum) {
        TMemorySource source(bytes);
        t.Checksum = PackageChecksum(source, kTrailerSize);
        const size_t at = bytes.size() - layout.afterPackage.size() - kTrailerSize;
        bytes.replace(at, kTrailerSize, TrailerBytes(t));
    }
    return bytes;
}

// The offset at which the entries of MakeVolume's output begin (the end of
// the header blocks).
inline size_t HeaderEnd(bool withStub)
{
    return (withStub ? kStubImageSize : 0) + Block("\x02" "English\x01" "s0=Setup\x01\x02").size() +
           Block("|http://x/|info.ini|agent.exe|token|0|").size();
}

}  // namespace volumes
