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
