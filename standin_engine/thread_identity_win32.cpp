// The calling thread's id and name on Windows.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "thread_identity.h"

namespace standin_engine {

// Read from the thread's own block: nothing to cache.
long long current_tid() { return static_cast<long long>(GetCurrentThreadId()); }

// SetThreadDescription's name as UTF-8; "" where the system has none
// (GetThreadDescription came with Windows 10 1607, so it is looked up).
std::string read_thread_name() {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    static const auto get_description = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription")));
    PWSTR wide = nullptr;
    if (get_description == nullptr || FAILED(get_description(GetCurrentThread(), &wide)) || wide == nullptr) return {};
    char buf[256] = {};
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, buf, sizeof buf, nullptr, nullptr) == 0) buf[0] = '\0';
    LocalFree(wide);
    return buf;
}

}  // namespace standin_engine
