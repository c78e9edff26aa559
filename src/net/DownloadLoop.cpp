#include "net/DownloadLoop.h"
#include "sys/Utils.h"

uint32_t DownloadPieceSize(uint32_t size)
{
    uint32_t piece = size / 10;
    if (piece < 1) piece = 1;
    if (piece > kMaxPieceSize) piece = kMaxPieceSize;
    return piece;
}

int DownloadProgressMax(uint32_t size)
{
    const uint64_t piece = DownloadPieceSize(size);
    return static_cast<int>((size + piece - 1) / piece + 1);
}

std::string DownloadTempName(const std::string& localFile, uint32_t size, uint32_t date)
{
    return Cat({localFile, ".", IntText(static_cast<uint32_t>(size + date))});
}

bool IsDownloadLeftover(const std::string& localName, const std::string& candidate)
{
    if (localName.empty() || candidate.size() <= localName.size() + 1) return false;
    // Windows file names compare without regard to case.
    for (size_t i = 0; i < localName.size(); ++i) {
        char a = localName[i], b = candidate[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    if (candidate[localName.size()] != '.') return false;
    for (size_t i = localName.size() + 1; i < candidate.size(); ++i)
        if (candidate[i] < '0' || candidate[i] > '9') return false;
    return true;
}

uint32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays = kDays[month - 1] + ((month == 2 && leap) ? 1 : 0);
    if (day > monthDays || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 0;
    const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

uint64_t ReceivePieces(TDownloadIo& io, uint32_t size, const std::string& displayName, TProgBar* bar,
                       TBytesRate& rate, std::string& message)
{
    const uint32_t piece = DownloadPieceSize(size);
    char buffer[kMaxPieceSize];
    uint64_t received = 0;
    std::string text;
    bool more = true;
    while (more) {
        // Serve the queue before every read, so that a close request or the
        // abort flag is seen after the current piece; but never sleep here:
        // the read itself waits for the network, and a read that returns
        // nothing ends the loop, so there is nothing to wait for.
        io.ServeQueue();

        uint32_t got = 0;
        bool ok = io.ReadPiece(buffer, piece, got);
        if (!ok) got = 0;
        if (ok && got > 0) {
            received += got;
            ok = io.Store(buffer, got);
            // Nothing more can be kept: the rest of the body would be lost
            // anyway, and the caller must not take the download for complete.
            if (!ok) got = 0;
        }
        if (!ok) {
            message = displayName + " --- Error downloading file";
            const std::string reason = io.FailureReason();
            if (!reason.empty()) message += " (" + reason + ")";
        }

        rate.ProgressText(size, received, text, static_cast<int32_t>(got));
        if (ok && got > 0 && bar) bar->Step(text);

        const bool cancelled = bar && bar->Cancelled;
        more = got != 0 && !io.AbortRequested() && !cancelled;
    }
    return received;
}

bool IsHttpErrorStatus(uint32_t status) { return status >= kFirstHttpErrorStatus; }

TDownloadEnd DecideDownloadEnd(uint32_t status, uint32_t size, uint64_t received, const std::string& message,
                               bool cancelled, const std::string& displayName)
{
    TDownloadEnd end;
    end.message = message;
    if (!message.empty() || cancelled || IsHttpErrorStatus(status)) return end;
    if (size != kUnknownSize && received == size) {
        end.replaceTarget = true;
        return end;
    }
    // The connection ended before the announced length: whatever arrived is
    // part of a file, and a part of a setup file is nothing to run.
    if (size != kUnknownSize)
        end.message = Cat({displayName, " --- Download incomplete (", IntText(received), " of ",
                           IntText(size), " bytes)"});
    return end;
}

std::string DownloadRefusal(const TDownloadLimit& limit, uint32_t size, const std::string& displayName)
{
    const char* why = nullptr;
    if (size == kUnknownSize) {
        if (limit.needLength) why = " --- Download refused (no length)";
    } else if (limit.maxSize != 0 && size > limit.maxSize) {
        why = " --- Download refused (too large)";
    }
    return why ? displayName + why : std::string();
}
