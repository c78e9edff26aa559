#include "package/PackEntry.h"

#include <algorithm>
#include <climits>

#include "sys/LSUB.h"
#include "sys/Utils.h"

namespace {

constexpr size_t kReadPiece = 65536;

std::string OffsetText(int64_t offset) { return "entry at offset " + IntText(offset); }

}  // namespace

TEntryFrame ReadEntryFrame(TPackSource& file, int64_t offset, int64_t limit, InflateYieldFn yield) {
    TEntryFrame f;
    ReadEntryFrame(file, offset, limit, yield, f);
    return f;
}

void ReadEntryFrame(TPackSource& file, int64_t offset, int64_t limit, InflateYieldFn yield, TEntryFrame& f) {
    f.Offset = offset;
    f.Next = offset;
    f.Length = 0;
    f.Body.clear();
    f.Error.clear();
    const int64_t size = file.Size();
    uint32_t word = 0;
    if (offset < 0 || offset + 4 > limit) {
        f.Error = OffsetText(offset) + ": no room for its length before the trailer";
        return;
    }
    if (!file.ReadU32(offset, word)) {
        f.Error = OffsetText(offset) + ": the file ends before its length";
        return;
    }
    f.Length = static_cast<int32_t>(word);
    if (f.Length == INT_MIN) {
        f.Error = OffsetText(offset) + ": length -2147483648 is invalid";
        return;
    }
    const int64_t n = f.Length < 0 ? -static_cast<int64_t>(f.Length) : f.Length;
    f.Next = offset + 4 + n;
    if (f.Next > limit) {
        f.Error = Cat({OffsetText(offset), ": length ", IntText(f.Length), " runs past the package end (",
                       IntText(limit), ")"});
        return;
    }
    if (size < 0 || f.Next > size) {
        f.Error = Cat({OffsetText(offset), ": the file is cut short (", IntText(n), " bytes announced, ",
                       IntText(size < 0 ? 0 : size - offset - 4), " present)"});
        return;
    }
    if (n > kMaxEntryBytes) {
        f.Error = Cat({OffsetText(offset), ": length ", IntText(f.Length), " is above the ",
                       IntText(kMaxEntryBytes), " bytes an entry may take"});
        return;
    }
    if (!f.Body.resize(static_cast<size_t>(n))) {
        f.Error = Cat({OffsetText(offset), ": ", IntText(n), " bytes do not fit in memory"});
        return;
    }
    for (size_t done = 0; done < f.Body.size();) {
        size_t want = std::min(kReadPiece, f.Body.size() - done);
        if (!file.ReadExact(offset + 4 + static_cast<int64_t>(done), f.Body.data() + done, want)) {
            f.Body.clear();
            f.Error = OffsetText(offset) + ": read failed";
            return;
        }
        done += want;
        if (yield) yield();
    }
}

TEntryHeader ParseEntryHeader(const std::string& header) {
    TEntryHeader h;
    // Only the name item marks the program to start. A "*" in another item
    // of a header with an unusual separator would otherwise make the whole
    // header the launch record, and its first item (with any path in it)
    // the program, whatever name was checked and written.
    h.Name = SUB::Get(header, 0, "");
    size_t star = h.Name.find('*');
    if (star != std::string::npos) {
        h.LaunchRecord = h.Name;
        h.Name.erase(star);
    }
    const int64_t t = TextToInt64(SUB::Get(header, 1, ""), 0);
    h.DosTime = (t < INT32_MIN || t > INT32_MAX) ? 0 : static_cast<int32_t>(t);
    return h;
}

std::string MakeEntryHeader(const std::string& name, int32_t dosTime, bool launch, const std::string& launchArgs) {
    std::string item = name;
    if (launch) {
        item += '*';
        if (!launchArgs.empty()) item += ' ' + launchArgs;
    }
    return Cat({"|", item, "|", IntText(dosTime), "|"});
}

size_t EntryContentLimit(uint32_t declaredTotal) {
    if (declaredTotal == 0) return kMaxEntryBytes;
    return std::min<size_t>(kMaxEntryBytes, static_cast<size_t>(declaredTotal) + kMaxEntryHeader);
}

TEntryView DecodeEntryView(const TEntryFrame& frame, TByteBuffer& content, InflateYieldFn yield, size_t limit) {
    TEntryView e;
    e.Compressed = frame.Length > 0;
    std::string_view bytes = frame.Body.view();
    if (e.Compressed) {
        const EZLibError error = InflateInto(bytes, content, std::min<size_t>(limit, kMaxEntryBytes), yield);
        if (error.Failed()) {
            e.Error = "zlib stream: " + error.Message;
            return e;
        }
        bytes = content.view();
    }
    const size_t nul = bytes.find('\0');
    if (nul == std::string_view::npos || nul == 0) return e;
    e.Header = bytes.substr(0, nul);
    e.Data = bytes.substr(nul + 1);
    e.Parsed = ParseEntryHeader(std::string(e.Header));
    e.Skipped = false;
    return e;
}

TPackEntry DecodeEntry(const TEntryFrame& frame, InflateYieldFn yield, size_t limit) {
    TByteBuffer content;
    const TEntryView view = DecodeEntryView(frame, content, yield, limit);
    TPackEntry e;
    e.Compressed = view.Compressed;
    e.Skipped = view.Skipped;
    e.Error = view.Error;
    e.Header = view.Header;
    e.Data = view.Data;
    e.Parsed = view.Parsed;
    return e;
}

bool IsUnsafeEntryName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return true;
    if (name.find(':') != std::string::npos) return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        // Windows drops trailing dots and blanks from a path component, so
        // ". ." and "..." lead upwards as surely as "..".
        if (part.find_first_not_of(". ") == std::string::npos && std::count(part.begin(), part.end(), '.') >= 2)
            return true;
        start = end + 1;
    }
    return false;
}
