// agentmsg: the test kit's second program beside the update agent. It asks
// the agent through wm_AgentMsg and reads INI files the way any other
// program would.
//   agentmsg send CLASS CODE VALUE     sends wm_AgentMsg (wParam CODE, lParam
//                                      VALUE) to the top-level window of CLASS;
//                                      prints "result=<signed 32-bit result>"
//   agentmsg ini FILE SECTION KEY      prints "value=<the profile's value>"
// Exit codes: 0 done; 1 no such window or no answer; 2 bad command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "send" && argc == 5) {
        HWND wnd = FindWindowA(argv[2], nullptr);
        if (!wnd) return 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(wnd, 0x465, static_cast<WPARAM>(std::strtol(argv[3], nullptr, 10)),
                                 static_cast<LPARAM>(std::strtoll(argv[4], nullptr, 10)), SMTO_ABORTIFHUNG, 10000,
                                 &result))
            return 1;
        std::printf("result=%ld\n", static_cast<long>(static_cast<int32_t>(result)));
        return 0;
    }
    if (cmd == "ini" && argc == 5) {
        char buf[4096] = {};
        GetPrivateProfileStringA(argv[3], argv[4], "", buf, sizeof buf, argv[2]);
        std::printf("value=%s\n", buf);
        return 0;
    }
    std::fprintf(stderr, "usage: agentmsg send CLASS CODE VALUE | ini FILE SECTION KEY\n");
    return 2;
}
