#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "net/DownloadLoop.h"

namespace {

TEST(DownloadPlan, PieceSizeAndProgressRange)
{
    struct Case {
        uint32_t size, piece;
        int max;
    } cases[] = {
        {5, 1, 6},        // 5 div 10 = 0, clamped to 1
        {10, 1, 11},
        {100, 10, 11},
        {81920, 8192, 11},
        {81921, 8192, 12},
        {kUnknownSize, 8192, 524289},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DownloadPieceSize(c.size), c.piece) << c.size;
        EXPECT_EQ(DownloadProgressMax(c.size), c.max) << c.size;
    }
}

TEST(DownloadPlan, TempNameIsAnUnsigned32BitSum)
{
    EXPECT_EQ(DownloadTempName("C:\\T\\Setup.exe", 100, 0x58A16C2Bu), "C:\\T\\Setup.exe.1486974095");
    EXPECT_EQ(DownloadTempName("C:\\T\\Setup.exe", 100, 0xFFFFFFF0u), "C:\\T\\Setup.exe.84");
}

TEST(DownloadPlan, OnlyOurTemporaryFilesAreLeftovers)
{
    EXPECT_TRUE(IsDownloadLeftover("Setup.exe", "Setup.exe.84"));
    EXPECT_TRUE(IsDownloadLeftover("Setup.exe", "SETUP.EXE.4294967295"));
    EXPECT_FALSE(IsDownloadLeftover("Setup.exe", "Setup.exe"));
    EXPECT_FALSE(IsDownloadLeftover("Setup.exe", "Setup.exe."));
    EXPECT_FALSE(IsDownloadLeftover("Setup.exe", "Setup.exe.bak"));
    EXPECT_FALSE(IsDownloadLeftover("Setup.exe", "Setup.exe.12.txt"));
    // A target without extension must not take its neighbours with it.
    EXPECT_FALSE(IsDownloadLeftover("Setup", "Setup.exe"));
    EXPECT_FALSE(IsDownloadLeftover("Setup", "Setup.ini"));
    EXPECT_TRUE(IsDownloadLeftover("Setup", "Setup.77"));
}

TEST(DownloadPlan, DosDateTime)
{
    EXPECT_EQ(PackDosDateTime(1980, 1, 1, 0, 0, 0), 0x00210000u);
    // 2024-02-29 13:45:31: date (44<<9)|(2<<5)|29, time (13<<11)|(45<<5)|15.
    EXPECT_EQ(PackDosDateTime(2024, 2, 29, 13, 45, 31), (((44u << 9) | (2u << 5) | 29u) << 16) | ((13u << 11) | (45u << 5) | 15u));
    EXPECT_EQ(PackDosDateTime(2107, 12, 31, 23, 59, 59) >> 16, (127u << 9) | (12u << 5) | 31u);
    // The zeroed record of a response without Last-Modified, and other invalid dates.
    EXPECT_EQ(PackDosDateTime(0, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(PackDosDateTime(1979, 12, 31, 0, 0, 0), 0u);
    EXPECT_EQ(PackDosDateTime(2108, 1, 1, 0, 0, 0), 0u);
    EXPECT_EQ(PackDosDateTime(2023, 2, 29, 0, 0, 0), 0u);
    EXPECT_EQ(PackDosDateTime(2000, 2, 29, 24, 0, 0), 0u);
    EXPECT_NE(PackDosDateTime(2000, 2, 29, 0, 0, 0), 0u);
}

// A response body delivered in reads of at most `chunk` bytes, with a log of
// what the loop did in which order.
class FakeIo : public TDownloadIo {
public:
    explicit FakeIo(std::string body, uint32_t chunk = 1u << 30) : body_(std::move(body)), chunk_(chunk) {}

    void ServeQueue() override
    {
        log += 'Q';
        if (onServe) onServe(reads);
    }
    bool ReadPiece(char* buffer, uint32_t want, uint32_t& got) override
    {
        log += 'R';
        ++reads;
        maxWant = std::max(maxWant, want);
        if (failAtRead == reads) {
            got = 0;
            return false;
        }
        got = std::min<uint32_t>({want, chunk_, static_cast<uint32_t>(body_.size() - pos_)});
        body_.copy(buffer, got, pos_);
        pos_ += got;
        return true;
    }
    bool Store(const char* data, uint32_t n) override
    {
        if (failStore) return false;
        stored.append(data, n);
        return true;
    }
    bool AbortRequested() override { return abort; }
    std::string FailureReason() override { return reason; }

    std::string log, stored, reason;
    int reads = 0;
    int failAtRead = 0;
    bool failStore = false;
    bool abort = false;
    uint32_t maxWant = 0;
    std::function<void(int)> onServe;

private:
    std::string body_;
    uint32_t chunk_;
    size_t pos_ = 0;
};

struct Steps {
    std::vector<std::string> texts;
    TProgBar bar{[this](int kind, int, int, int, int, const std::string& text) {
        if (kind == 1) texts.push_back(text);
    }};
};

std::string Body(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

TEST(ReceivePieces, ReadsTheWholeBodyInPiecesServingTheQueueBeforeEachRead)
{
    const std::string body = Body(25);  // piece size 2
    FakeIo io(body);
    Steps steps;
    TBytesRate rate(false, false, [] { return 1000u; });
    std::string message;
    EXPECT_EQ(ReceivePieces(io, 25, "f.bin", &steps.bar, rate, message), 25u);
    EXPECT_EQ(io.stored, body);
    EXPECT_EQ(message, "");
    EXPECT_EQ(io.maxWant, 2u);
    EXPECT_EQ(io.reads, 14);  // 13 pieces and the empty read that ends the body
    std::string expected;
    for (int i = 0; i < 14; ++i) expected += "QR";
    EXPECT_EQ(io.log, expected);
    ASSERT_EQ(steps.texts.size(), 13u);  // no step for the empty read
    EXPECT_EQ(steps.texts.front(), "2/25 BytesArr");
    EXPECT_EQ(steps.texts.back(), "25/25 BytesArr");
}

TEST(ReceivePieces, MemoryDownloadWithoutBarTakesShortReads)
{
    const std::string body = Body(100000);
    FakeIo io(body, 1000);  // the server hands out less than a piece
    TBytesRate rate(false, false, nullptr);
    std::string message;
    EXPECT_EQ(ReceivePieces(io, kUnknownSize, "f.bin", nullptr, rate, message), body.size());
    EXPECT_EQ(io.stored, body);
    EXPECT_EQ(io.maxWant, 8192u);
    EXPECT_EQ(message, "");
}

TEST(ReceivePieces, AbortFlagSetWhileServingTheQueueStopsAfterThatPiece)
{
    FakeIo io(Body(1000));
    io.onServe = [&io](int readsSoFar) {
        if (readsSoFar == 3) io.abort = true;  // a close request handled before the fourth read
    };
    Steps steps;
    TBytesRate rate(false, false, nullptr);
    std::string message;
    EXPECT_EQ(ReceivePieces(io, 1000, "f.bin", &steps.bar, rate, message), 400u);
    EXPECT_EQ(io.reads, 4);
    EXPECT_EQ(message, "");  // the caller turns the flag into its message
}

TEST(ReceivePieces, CancelledBarStopsAfterThatPiece)
{
    FakeIo io(Body(1000));
    int stepsSeen = 0;
    TProgBar bar([&](int kind, int, int, int, int, const std::string&) {
        if (kind == 1 && ++stepsSeen == 2) bar.Cancelled = true;  // the user closed the window
    });
    TBytesRate rate(false, false, nullptr);
    std::string message;
    ReceivePieces(io, 1000, "f.bin", &bar, rate, message);
    EXPECT_EQ(io.stored.size(), 200u);
    EXPECT_EQ(io.reads, 2);
    EXPECT_EQ(message, "");
}

TEST(ReceivePieces, FailuresEndTheLoopWithTheMessage)
{
    struct Case {
        int failAtRead;
        bool failStore;
        const char* reason;
        const char* message;
        size_t stored;
    } cases[] = {
        {3, false, "The operation timed out", "f.bin --- Error downloading file (The operation timed out)", 200},
        {1, false, "", "f.bin --- Error downloading file", 0},
        {0, true, "There is not enough space on the disk", "f.bin --- Error downloading file (There is not enough space on the disk)", 0},
    };
    for (const Case& c : cases) {
        FakeIo io(Body(1000));
        io.failAtRead = c.failAtRead;
        io.failStore = c.failStore;
        io.reason = c.reason;
        Steps steps;
        TBytesRate rate(false, false, nullptr);
        std::string message;
        ReceivePieces(io, 1000, "f.bin", &steps.bar, rate, message);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(io.stored.size(), c.stored);
        EXPECT_EQ(steps.texts.size(), c.stored / 100) << c.message;
        EXPECT_EQ(io.reads, c.failStore ? 1 : c.failAtRead) << "no read after a failure";
    }
}

}  // namespace

TEST(DownloadEnd, OnlyAWholeBodyWithAGoodStatusReplacesTheTarget)
{
    struct Case {
        const char* what;
        uint32_t status, size;
        uint64_t received;
        const char* message;
        bool cancelled, replace;
        const char* result;
    } cases[] = {
        {"whole body", 200, 1000, 1000, "", false, true, ""},
        {"no status read", 0, 1000, 1000, "", false, true, ""},
        {"cut short", 200, 100000, 30000, "", false, false, "a.exe --- Download incomplete (30000 of 100000 bytes)"},
        {"nothing arrived", 200, 10, 0, "", false, false, "a.exe --- Download incomplete (0 of 10 bytes)"},
        {"unknown length", 200, kUnknownSize, 5000, "", false, false, ""},
        {"cancelled through the bar", 200, 1000, 10, "", true, false, ""},
        {"read failure kept", 200, 1000, 10, "a.exe --- Error downloading file", false, false,
         "a.exe --- Error downloading file"},
        {"error page with the full length", 404, 120, 120, "", false, false, ""},
        {"server error", 500, 30, 30, "", false, false, ""},
        {"last good status", 399, 30, 30, "", false, true, ""},
    };
    for (const Case& c : cases) {
        const TDownloadEnd end = DecideDownloadEnd(c.status, c.size, c.received, c.message, c.cancelled, "a.exe");
        EXPECT_EQ(end.replaceTarget, c.replace) << c.what;
        EXPECT_EQ(end.message, c.result) << c.what;
    }
}

TEST(DownloadLoop, RefusalByTheAnnouncedSize)
{
    TDownloadLimit none;
    TDownloadLimit bounded;
    bounded.maxSize = 5000;
    bounded.needLength = true;
    const struct {
        const char* what;
        const TDownloadLimit& limit;
        uint32_t size;
        const char* refusal;
    } cases[] = {
        {"no bound, no length", none, kUnknownSize, ""},
        {"no bound, any length", none, 4000000000u, ""},
        {"within", bounded, 5000, ""},
        {"one byte over", bounded, 5001, "a.exe --- Download refused (too large)"},
        {"no length", bounded, kUnknownSize, "a.exe --- Download refused (no length)"},
    };
    for (const auto& c : cases) EXPECT_EQ(DownloadRefusal(c.limit, c.size, "a.exe"), c.refusal) << c.what;
}
