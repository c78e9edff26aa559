// Process: top-level windows with their processes, through EnumWindows and a
// ToolHelp process snapshot.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LSUB.h"
#include "sys/LWriteln.h"
#include "sys/Process.h"
#include "sys/Utils.h"

namespace {

constexpr int kClassNameLength = 1024;
constexpr int kTitleLength = 4096;

// pid and executable file name of every process in one snapshot. A few
// hundred at most, searched in order: no tree container (the stub's size).
using TProcessNames = std::vector<std::pair<DWORD, std::string>>;

TProcessNames ProcessNames()
{
    TProcessNames names;
    FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return names;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (!::Process32First(snapshot.Get(), &entry)) return names;
    do {
        // Windows 9x names the whole path here, NT the file name.
        names.emplace_back(entry.th32ProcessID, NamePart(entry.szExeFile));
    } while (::Process32Next(snapshot.Get(), &entry));
    return names;
}

struct TEnumState {
    TProcessData* data = nullptr;
    TProcessNames exeNames;
    bool namesRefreshed = false;
    std::vector<std::string> seen;  // names listed so far, trimmed and upper-cased
    std::vector<std::string> pids, names, classes, handles, threads, titles, visible;

    std::string NameOf(DWORD pid)
    {
        const std::string* name = Find(pid);
        if (!name && !namesRefreshed) {
            // A process started after the snapshot: look once more.
            exeNames = ProcessNames();
            namesRefreshed = true;
            name = Find(pid);
        }
        return name ? *name : "";
    }

    // True the first time a name is seen.
    bool FirstSight(const std::string& key)
    {
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) return false;
        seen.push_back(key);
        return true;
    }

private:
    const std::string* Find(DWORD pid) const
    {
        for (const auto& [id, name] : exeNames)
            if (id == pid) return &name;
        return nullptr;
    }
};

std::string ClassOf(HWND wnd)
{
    char buf[kClassNameLength + 1];
    const int n = ::GetClassNameA(wnd, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
}

// GetWindowText reads another process's window text from the window itself,
// without a message to a process that might not answer.
std::string TitleOf(HWND wnd)
{
    std::string buf(kTitleLength + 1, '\0');
    const int n = ::GetWindowTextA(wnd, buf.data(), kTitleLength + 1);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
}

BOOL CALLBACK OnWindow(HWND wnd, LPARAM param)
{
    auto& st = *reinterpret_cast<TEnumState*>(param);
    DWORD pid = 0;
    const DWORD thread = ::GetWindowThreadProcessId(wnd, &pid);
    const std::string name = st.NameOf(pid);
    const TProcessData& d = *st.data;
    const std::string key = UpperCase(Trim(name));
    // An empty name is never "already listed".
    if (d.allWindows || key.empty() || st.FirstSight(key)) {
        st.pids.push_back(IntText(pid));
        st.names.push_back(name);
        st.classes.push_back(ClassOf(wnd));
        st.handles.push_back(IntText(reinterpret_cast<uintptr_t>(wnd)));
        st.threads.push_back(IntText(thread));
        st.titles.push_back(TitleOf(wnd));
        st.visible.push_back(::IsWindowVisible(wnd) ? "1" : "0");
    }
    if (!d.allWindows && (name == d.wantedName || static_cast<int32_t>(pid) == d.wantedPid)) return FALSE;
    return TRUE;
}

std::string ListOf(const std::vector<std::string>& items)
{
    return items.empty() ? std::string("|") : SUB::Build(items);
}

}  // namespace

bool EnumTopWindows(TProcessData& data)
{
    TEnumState st;
    st.data = &data;
    st.exeNames = ProcessNames();
    // EnumWindows reports FALSE also when the callback stopped it early.
    ::SetLastError(0);
    const bool finished = ::EnumWindows(OnWindow, reinterpret_cast<LPARAM>(&st)) || ::GetLastError() == 0;
    data.pids = ListOf(st.pids);
    data.names = ListOf(st.names);
    data.classes = ListOf(st.classes);
    data.handles = ListOf(st.handles);
    data.threads = ListOf(st.threads);
    data.titles = ListOf(st.titles);
    data.visible = ListOf(st.visible);
    return finished;
}

std::string ListWindowProcesses()
{
    TProcessData data;
    data.allWindows = false;
    data.wantedName = "*";
    data.wantedPid = -1;
    EnumTopWindows(data);
    return SUB::JoinPairs(data.names, data.pids);
}
