#include <gtest/gtest.h>

#include <windows.h>

#include "net/InetHTTP.h"
#include "net/InetLoaderWin.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

// Nothing listens on port 1: the session opens, the URL does not.
constexpr const char* kDeadUrl = "http://127.0.0.1:1/x.bin";

std::string DownloadMessage()
{
    std::string memory, message;
    HTTP_DownloadFile(nullptr, kDeadUrl, "", memory, nullptr, message);
    return message;
}

TEST(InetLoader, LoadsTheSystemLibraryOnFirstUseAndAgainAfterUnload)
{
    HTTP_Unload();
    EXPECT_FALSE(WinInetLoaded());

    // Reaching "open" proves that InternetOpenA was resolved and worked.
    EXPECT_EQ(DownloadMessage(), std::string("Unable to open Internet Connection: ") + kDeadUrl);
    ASSERT_TRUE(WinInetLoaded());
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(::GetModuleHandleA("wininet.dll"), path, MAX_PATH);
    EXPECT_TRUE(StartsWith(path, SystemFolder(true), true)) << path;

    HTTP_Unload();
    EXPECT_FALSE(WinInetLoaded());
    EXPECT_EQ(DownloadMessage(), std::string("Unable to open Internet Connection: ") + kDeadUrl);
    EXPECT_TRUE(WinInetLoaded());
    HTTP_Unload();
}

TEST(InetHTTP, CredentialsWithAUrlThatIsNoHttpLocationDoNotOpen)
{
    std::string memory, message;
    HTTP_DownloadFile_Incremental(nullptr, "ftp://127.0.0.1/x.bin", "", "user", "", memory, nullptr, message);
    EXPECT_EQ(message, "Unable to open Internet Connection: ftp://127.0.0.1/x.bin");
}

}  // namespace
