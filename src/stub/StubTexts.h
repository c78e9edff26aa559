// The stub's own texts, in one table: the key each has in the package's
// language block and the English text it shows when the block does not carry
// it. A translator (or a new message) starts here.
#pragma once

#include <string>

#include "ui/LMsgBoxMarkup.h"

struct TStubText {
    const char* Key;
    const char* Default;
};

// clang-format off
inline constexpr TStubText kTextCaption       {"s0", "Lumidor Installation Suite"};
inline constexpr TStubText kTextExtracting    {"s1", "Extracting Files..."};
inline constexpr TStubText kTextTempDriveAsk  {"s2", "Lumidor will extract files to your Temp Drive (<DRIVE>)<P>"};
inline constexpr TStubText kTextTempDriveLow  {"s3", "Limited Free Space on your Temp Drive! (<DRIVE>)<P>"};
inline constexpr TStubText kTextSpaceRequired {"s4", "<P>Estimated space required on your Temp drive is: <T>  <SPACE_REQ> MB<P>"};
inline constexpr TStubText kTextSpaceFree     {"s5", "Free space available on your Temp drive is: <T>  <SPACE_AVAIL> MB<P>"};
inline constexpr TStubText kTextContinueSetup {"s6", "<P>Continue with Setup?<P>"};
inline constexpr TStubText kTextBadCrc        {"s7", "Bad CRC!<P>This indicates that your setup file might be corrupted..."};
inline constexpr TStubText kTextDiskPrompt    {"s8", "Please insert <B>DISK #<DISK_NUM></B> and press OK to continue"};
inline constexpr TStubText kTextDownloading   {"s10", "Downloading File..."};
inline constexpr TStubText kTextDownloadAsk   {"s11", "<b>INTERNET DOWNLOAD</b><p><p>Lumidor will download the Setup File "
                                                      "from the Internet...<p>Please make sure your Internet connection "
                                                      "is properly set.<p><p>Continue with Setup?<p><P>Size: <SIZE> MB<P>"};
inline constexpr TStubText kTextNoConnection  {"s12", "No valid Internet Connection.<p>Can not Download File!"};
inline constexpr TStubText kTextError         {"Error", "Error"};
inline constexpr TStubText kTextConfirm       {"Confirm", "Confirm"};
inline constexpr TStubText kTextAttention     {"Attention", "Attention"};
// The message box's seven button captions, in the box's fixed order.
inline constexpr TStubText kTextButtons       {"BtnText", kDefaultButtonCaptions};
// clang-format on

class TGFileInfo;

// The text in the language the package offers for this user (its built-in
// default where the package has none), and that language's character set
// and font.
std::string StubText(const TGFileInfo& package, const TStubText& text);
int StubCharset(const TGFileInfo& package);
int StubFontSize(const TGFileInfo& package);
std::string StubFontName(const TGFileInfo& package);
