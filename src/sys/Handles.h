// Move-only owners of the platform's handles: one small type per kind, so
// that every path out of a function closes what it opened, and nothing is
// closed twice.
//
//   UniqueHandle<Closer> holds one value; Closer names the value's type, the
//   value that means "none", and how to close it:
//
//     struct FooCloser {
//         using Handle = FOO;
//         static Handle Invalid() { return nullptr; }
//         static void Close(Handle h) { CloseFoo(h); }
//     };
//     using FooHandle = UniqueHandle<FooCloser>;
#pragma once

#include <windows.h>

#include <utility>

template <typename Closer>
class UniqueHandle {
public:
    using Handle = typename Closer::Handle;

    UniqueHandle() noexcept : h_(Closer::Invalid()) {}
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return h_; }
    bool Valid() const noexcept { return h_ != Closer::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives up ownership without closing.
    Handle Release() noexcept { return std::exchange(h_, Closer::Invalid()); }

    // Closes the current value (if any) and takes the new one.
    void Reset(Handle h = Closer::Invalid()) noexcept
    {
        Handle old = std::exchange(h_, h);
        if (old != Closer::Invalid()) Closer::Close(old);
    }

    // For the platform's "out" parameters: closes the current value and
    // hands out the address of the empty slot.
    Handle* Put() noexcept
    {
        Reset();
        return &h_;
    }

private:
    Handle h_;
};

// Kernel objects whose "none" is NULL: processes, threads, events, mutexes,
// snapshots of processes opened through OpenProcess and the like.
struct KernelHandleCloser {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleCloser>;

// Files and other objects whose "none" is INVALID_HANDLE_VALUE
// (CreateFile, CreateToolhelp32Snapshot).
struct FileHandleCloser {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using FileHandle = UniqueHandle<FileHandleCloser>;

// FindFirstFile searches.
struct FindHandleCloser {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
using FindHandle = UniqueHandle<FindHandleCloser>;

// Opened registry keys (never the predefined roots, which are not ours).
struct RegKeyCloser {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
using RegKey = UniqueHandle<RegKeyCloser>;

// Libraries loaded with LoadLibrary.
struct LibraryCloser {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};
using LibraryHandle = UniqueHandle<LibraryCloser>;

// GDI objects (pens, brushes, fonts, bitmaps, regions).
struct GdiObjectCloser {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
using GdiObject = UniqueHandle<GdiObjectCloser>;
