// One file entry of a package: its frame (a signed 32-bit length, then that
// many bytes), its content (header text, NUL, data) and its header
// ("|name|dosTime|", the name possibly carrying the launch mark "*").
// Shared by the stub's extraction and lumpack, so both decode alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "package/ByteBuffer.h"
#include "package/PackFile.h"
#include "package/ZLibOpen.h"

// The builder keeps each entry's data at or below this, which bounds the
// memory the stub needs for one entry whatever the payload.
constexpr uint32_t kMaxEntryData = 4u << 20;
// What a reader holds for one entry at most, its frame and its inflated
// content alike: far above anything an honest builder writes, far below what
// a 32-bit process can hold. A larger entry is a damaged package.
constexpr uint32_t kMaxEntryBytes = 64u << 20;
// Room for an entry's header text on top of its data.
constexpr uint32_t kMaxEntryHeader = 64u << 10;

// The most bytes one entry's content may inflate to in a package whose
// trailer declares declaredTotal bytes of files (its exact SpaceRequired):
// no entry holds more than all files together. 0 declares nothing.
size_t EntryContentLimit(uint32_t declaredTotal);

// The raw frame at Offset.
struct TEntryFrame {
    int64_t Offset = 0;  // of the length word
    int32_t Length = 0;  // as stored: > 0 zlib, < 0 stored, 0 empty
    TByteBuffer Body;    // the |Length| bytes
    int64_t Next = 0;    // offset just after the entry
    std::string Error;   // empty when the frame was read whole
};

// Reads the frame at offset. The entry must end at or before limit (the
// start of the trailer); a bad length, an entry past the limit or a file cut
// short, a body above kMaxEntryBytes or one the memory cannot hold give an
// error and no body (nothing is allocated for a length before it has been
// checked against the file and the bound). yield, when given, runs after each
// read of at most 64 KiB.
TEntryFrame ReadEntryFrame(TPackSource& file, int64_t offset, int64_t limit, InflateYieldFn yield = nullptr);
// The same into frame, whose body storage is reused from the entry before.
void ReadEntryFrame(TPackSource& file, int64_t offset, int64_t limit, InflateYieldFn yield, TEntryFrame& frame);

struct TEntryHeader {
    std::string Name;          // the target file name: item 0 cut before any "*"
    std::string LaunchRecord;  // item 0 when it carries "*"; empty when none
    int32_t DosTime = 0;       // MS-DOS date-time (local); 0: leave the file's time alone
};

TEntryHeader ParseEntryHeader(const std::string& header);

// "|name|dosTime|" as the builder writes it; launchArgs (with launch set)
// marks the program to start: "|Engine.exe* /silent|...|".
std::string MakeEntryHeader(const std::string& name, int32_t dosTime, bool launch = false,
                            const std::string& launchArgs = "");

struct TPackEntry {
    bool Compressed = false;
    bool Skipped = true;   // empty header, or no NUL in the content, or a damaged stream
    std::string Error;     // EZLibError's text for a damaged stream; empty when it decoded
    std::string Header;    // text before the first NUL
    std::string Data;      // bytes after it
    TEntryHeader Parsed;
};

// Content of a frame: inflated when compressed, split at its first NUL and
// the header parsed. A stream that is damaged or inflates past limit bytes
// gives Error ("zlib stream: data error", ...), and the entry is skipped.
TPackEntry DecodeEntry(const TEntryFrame& frame, InflateYieldFn yield = nullptr, size_t limit = kMaxEntryBytes);

// The same without copying: Header and Data view the frame's body (stored)
// or content (inflated), and stay valid until either is used again. The
// extraction reuses both buffers from entry to entry.
struct TEntryView {
    bool Compressed = false;
    bool Skipped = true;
    std::string Error;
    std::string_view Header;
    std::string_view Data;
    TEntryHeader Parsed;
};
TEntryView DecodeEntryView(const TEntryFrame& frame, TByteBuffer& content, InflateYieldFn yield = nullptr,
                           size_t limit = kMaxEntryBytes);

// Entry content as the builder frames it: length word + body, zlib when that
// is smaller than the content, else stored.
std::string EncodeEntry(const std::string& header, const char* data, size_t size, int level = 9);

// Names the extraction must not write: empty, absolute, with a drive or UNC
// prefix or any ":" (which could name a stream), or with a ".." component.
bool IsUnsafeEntryName(const std::string& name);
