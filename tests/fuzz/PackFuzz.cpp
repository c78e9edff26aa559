// libFuzzer target for the package reader and the entry decoder: the input
// is a whole volume file. It is read as TGFileInfo reads a package, summed,
// and its entries are walked as the extraction walks them; the same bytes are
// also tried as a scrambled token and as a token file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "package/PackEntry.h"
#include "package/PackX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TMemorySource source(bytes);

    TGFileInfo info(source);
    (void)PackageChecksum(source, info.Trailer.TrailerSize);
    (void)info.RequiredSpace("C:\\", [](const std::string&) { return 4096u; });
    (void)info.OriginalInfoName();
    (void)info.IdentityToken(true);
    (void)info.DownloadIdentityToken(true);

    const int64_t end = PackageLimit(source);
    int64_t pos = info.Trailer.BlocksOffset;
    while (end - pos > static_cast<int64_t>(kTrailerSize)) {
        TEntryFrame frame = ReadEntryFrame(source, pos, end - kTrailerSize);
        if (!frame.Error.empty()) break;
        // Each entry's body was read from the input, never sized beyond it.
        if (frame.Body.size() > size) __builtin_trap();
        const TPackEntry entry = DecodeEntry(frame, nullptr, EntryContentLimit(info.Trailer.SpaceRequired[0]));
        // Whatever the input, no entry is held beyond the readers' bound.
        if (entry.Data.size() > kMaxEntryBytes) __builtin_trap();
        (void)IsUnsafeEntryName(entry.Parsed.Name);
        if (frame.Next <= pos) __builtin_trap();  // the walk always moves on
        pos = frame.Next;
    }

    const std::string text(bytes.substr(0, 1024));
    (void)UnscrambleValue(text);
    (void)SplitTokenText(text);
    (void)ParseEntryHeader(text);
    return 0;
}
