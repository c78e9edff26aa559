// A library planted by the tests beside a program under the name of a system
// library. Its only act: when loaded, it leaves a marker file
// "<its own path>.loaded" beside itself, so a test can see that a program
// took it instead of the system's one.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 16];
        DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            lstrcpyA(path + n, ".loaded");
            HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        }
    }
    return TRUE;
}

// Something to export, as a real library would.
extern "C" __declspec(dllexport) int PlantDllMarker() { return 1; }
