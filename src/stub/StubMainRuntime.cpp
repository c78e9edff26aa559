// The pieces of the C++ runtime that the stub provides itself. Its code is
// built without exceptions, but the library's own versions of these throw,
// and one throwing routine links the whole exception machinery (the
// unwinder, the personality routine, the exception classes and a second
// string implementation for their messages): about half the stub.
//
// Each one here ends the process where the library's would have thrown:
// these are failures the stub's code does not expect (memory exhausted, a
// container used past its end), and with exceptions off a throw could only
// have ended it too. They end through the stub's error boundary, as the
// terminate handler does.
// Only the stub links this file; the tests and lumpack keep the library's.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

#include "stub/StubErrorBoundaryWin.h"

namespace {

// The error boundary traces, removes the temporary folders, says so (unless
// the run is hidden) and ends the process.
[[noreturn]] void RuntimeFailure() { EndUnexpectedly("runtime failure"); }

void* Allocate(std::size_t n) { return std::malloc(n ? n : 1); }

}  // namespace

// libstdc++'s verbose terminate handler pulls in the demangler (about 180 KB);
// the stub has no console to print to anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler();
void __verbose_terminate_handler() { EndUnexpectedly("unhandled exception"); }
}  // namespace __gnu_cxx

// ---- Allocation: memory exhausted ends the process -----------------------------

// Memory exhausted: the new-handler (the error boundary's) gets its chance,
// as the library's operator new would give it, before the process ends.
void* operator new(std::size_t n)
{
    for (;;) {
        if (void* p = Allocate(n)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) RuntimeFailure();
        handler();
    }
}
void* operator new[](std::size_t n) { return operator new(n); }
// The forms that report failure as nullptr: the readers' buffers use them.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

// A call of a pure virtual function (an object used while it is destroyed).
extern "C" void __cxa_pure_virtual();
extern "C" void __cxa_pure_virtual() { RuntimeFailure(); }

// ---- The library's throw helpers --------------------------------------------------

namespace std {
void __throw_bad_exception() { RuntimeFailure(); }
void __throw_bad_alloc() { RuntimeFailure(); }
void __throw_bad_array_new_length() { RuntimeFailure(); }
void __throw_bad_cast() { RuntimeFailure(); }
void __throw_bad_typeid() { RuntimeFailure(); }
void __throw_logic_error(const char*) { RuntimeFailure(); }
void __throw_domain_error(const char*) { RuntimeFailure(); }
void __throw_invalid_argument(const char*) { RuntimeFailure(); }
void __throw_length_error(const char*) { RuntimeFailure(); }
void __throw_out_of_range(const char*) { RuntimeFailure(); }
void __throw_out_of_range_fmt(const char*, ...) { RuntimeFailure(); }
void __throw_runtime_error(const char*) { RuntimeFailure(); }
void __throw_range_error(const char*) { RuntimeFailure(); }
void __throw_overflow_error(const char*) { RuntimeFailure(); }
void __throw_underflow_error(const char*) { RuntimeFailure(); }
void __throw_bad_function_call() { RuntimeFailure(); }
}  // namespace std
