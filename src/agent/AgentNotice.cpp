#include "agent/AgentNotice.h"

#include "sys/Utils.h"

TInformLayout InformLayout(int cw, int ch, bool hasButton)
{
    TInformLayout l;
    l.text = {3, 0, cw - 3, hasButton ? ch - 43 : ch};
    if (hasButton) {
        l.button = {(cw - 160) / 2, ch - 33, 160, 25};
        l.separatorY = ch - 43;
        l.bandTop = ch - 42;
    }
    return l;
}

int InformSize(long long configured)
{
    // A size of none (0 or less) would leave no window to read or close; one
    // beyond any screen is cut to what a window can be.
    if (configured <= 0) return kInformDefaultSize;
    return configured > 32767 ? 32767 : static_cast<int>(configured);
}

int InformCentred(int screen, int size) { return (screen - size) / 2; }

std::string InformTextFace(const std::string& fontFace)
{
    return !fontFace.empty() && fontFace != "Tahoma" ? fontFace : "Verdana";
}

std::string InformAddress(const std::string& address)
{
    const std::string a = Trim(address);
    return StartsWith(a, "http://", true) || StartsWith(a, "https://", true) ? a : "";
}

TInformAction InformActionOf(const std::string& body, const std::string& address)
{
    if (!body.empty()) return TInformAction::ShowWindow;
    return address.empty() ? TInformAction::None : TInformAction::OpenAddress;
}
