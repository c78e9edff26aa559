// Test-kit stand-in for the system's tasklist.exe, which Wine only pretends
// to have (it prints nothing). Prints the running processes the way the
// system's command does for "/FO csv": a header line, then one line per
// process, every field in double quotes, in the OEM code page, CR LF ends.
//   "Image Name","PID","Session Name","Session#","Mem Usage"
//   "System Idle Process","0","Services","0","8 K"
// Arguments are accepted and ignored (only the CSV form is offered).
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "sys/Handles.h"

namespace {

// 1234567 -> "1,234,567"
std::string Grouped(unsigned long long value)
{
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
    return digits;
}

std::string MemUsage(DWORD pid)
{
    KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    unsigned long long bytes = 0;
    if (process && GetProcessMemoryInfo(process.Get(), &counters, sizeof counters)) bytes = counters.WorkingSetSize;
    return Grouped(bytes / 1024) + " K";
}

void Line(std::string text)
{
    text += "\r\n";
    CharToOemBuffA(text.data(), text.data(), static_cast<DWORD>(text.size()));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Csv(const std::string& field) { return "\"" + field + "\""; }

}  // namespace

int main()
{
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        std::fprintf(stderr, "ERROR: no process snapshot\n");
        return 1;
    }
    Line("\"Image Name\",\"PID\",\"Session Name\",\"Session#\",\"Mem Usage\"");
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool more = Process32First(snapshot.Get(), &entry);
    while (more) {
        DWORD session = 0;
        ProcessIdToSessionId(entry.th32ProcessID, &session);
        const std::string name = entry.th32ProcessID == 0 ? "System Idle Process" : entry.szExeFile;
        Line(Csv(name) + "," + Csv(std::to_string(entry.th32ProcessID)) + "," +
             Csv(session == 0 ? "Services" : "Console") + "," + Csv(std::to_string(session)) + "," +
             Csv(MemUsage(entry.th32ProcessID)));
        more = Process32Next(snapshot.Get(), &entry);
    }
    return 0;
}
