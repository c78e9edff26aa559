// DownloadLoop: the decisions of a download that do not need WinINet: piece
// size, progress range, the temporary file's name, which files are leftovers
// of earlier attempts, and the loop that reads pieces, stores them, drives the
// progress bar and stops on the abort flag or a cancelled bar. The Win32 side
// (InetHTTPWin) supplies the reads, the storage and the message pump through
// TDownloadIo.
#pragma once

#include <cstdint>
#include <string>

#include "net/CommUtils.h"
#include "sys/LProgBar.h"

// What HttpQueryInfo leaves in the size when there is no usable Content-Length.
constexpr uint32_t kUnknownSize = 0xFFFFFFFFu;
// The read buffer; no piece is larger.
constexpr uint32_t kMaxPieceSize = 8192;

// A tenth of the size, clamped to 1 .. kMaxPieceSize: small files still show
// about ten progress steps.
uint32_t DownloadPieceSize(uint32_t size);

// The progress bar's maximum: ceil(size / piece size) + 1.
int DownloadProgressMax(uint32_t size);

// local + "." + the decimal of (size + date) as an unsigned 32-bit sum.
std::string DownloadTempName(const std::string& localFile, uint32_t size, uint32_t date);

// True when `candidate` (a bare file name, as a directory search returns it)
// is a temporary file of an earlier download to `localName` (also a bare
// name): the local name, a dot and nothing but digits. Other files that
// happen to match "local.*" are not ours to delete.
bool IsDownloadLeftover(const std::string& localName, const std::string& candidate);

// Packed DOS date (high word) and time (low word, two-second steps) of the
// given calendar fields, or 0 when they are not a valid date between 1980
// and 2107.
uint32_t PackDosDateTime(int year, int month, int day, int hour, int minute, int second);

// A status from here on is the server's error, and its body an error page:
// it never takes the place of the file it was asked for.
constexpr uint32_t kFirstHttpErrorStatus = 400;
bool IsHttpErrorStatus(uint32_t status);

// How a download into a file ends, once the body has been received into the
// temporary file.
struct TDownloadEnd {
    bool replaceTarget = false;  // the temporary file takes the target's place
    std::string message;         // the failure to report; "" when none
};
// status: the HTTP status (0 when unknown); size: Content-Length or
// kUnknownSize; received: bytes in the temporary file; message: the loop's
// failure so far; cancelled: the bar was cancelled. A body shorter than its
// Content-Length is a failure with its own message; a cancel through the
// bar and a body of unknown length stay without one, but replace nothing.
// An error status never replaces the target: the caller turns its page
// into the message.
TDownloadEnd DecideDownloadEnd(uint32_t status, uint32_t size, uint64_t received, const std::string& message,
                               bool cancelled, const std::string& displayName);

// What a caller allows one download to be: at most `maxSize` bytes (0: no
// bound of its own) and, with `needLength`, only a response that announces
// its length. A body of unknown length can never be told complete, so a
// caller that must act only on a whole file refuses it before it starts.
struct TDownloadLimit {
    uint64_t maxSize = 0;
    bool needLength = false;
};
// The refusal of a response, by the size it announces (Content-Length or
// kUnknownSize), before any of its body is read; "" when it may be read.
std::string DownloadRefusal(const TDownloadLimit& limit, uint32_t size, const std::string& displayName);

// The platform under the piece loop.
class TDownloadIo {
public:
    virtual ~TDownloadIo() = default;
    // Dispatches the pending window messages without sleeping.
    virtual void ServeQueue() = 0;
    // Reads up to `want` bytes; false when the read failed (then `got` is 0
    // and FailureReason tells why).
    virtual bool ReadPiece(char* buffer, uint32_t want, uint32_t& got) = 0;
    // Appends the bytes to the temporary file or the memory buffer; false
    // when they could not be stored (FailureReason tells why).
    virtual bool Store(const char* data, uint32_t n) = 0;
    virtual bool AbortRequested() = 0;
    // The reason of the last failed read or store, "" when none is known.
    virtual std::string FailureReason() = 0;
};

// Reads the body in pieces of DownloadPieceSize(size) until a read returns
// nothing, the abort flag is set or the bar is cancelled. Each non-empty
// piece is stored and steps the bar (when given) with the progress text.
// A failed read or store sets `message` to displayName +
// " --- Error downloading file" (+ " (reason)") and ends the loop. Returns
// the number of bytes received.
uint64_t ReceivePieces(TDownloadIo& io, uint32_t size, const std::string& displayName, TProgBar* bar,
                       TBytesRate& rate, std::string& message);
