// Test-kit program planted under a system command's name beside a program
// under test: it leaves "<its own path>.ran" behind when anything starts it,
// and prints nothing.
#include <windows.h>

int main()
{
    char path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    lstrcatA(path, ".ran");
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(f);
    return 0;
}
