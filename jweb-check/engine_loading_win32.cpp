#include <windows.h>

#include "engine_loading.h"

namespace jweb::check {

const char engine_search_path[] = "the folders on PATH";
const char engine_path_variable[] = "PATH";

namespace {

std::string system_message(DWORD code) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    message += " (error " + std::to_string(code) + ")";
    if (code == ERROR_BAD_EXE_FORMAT)
        message += sizeof(void*) == 8 ? "; this jweb-check is 64-bit: a 32-bit engine needs the x86 kit's"
                                      : "; this jweb-check is 32-bit: a 64-bit engine needs the x86-64 kit's";
    return message;
}

}  // namespace

bool load_engine(const char* requested, LoadedEngine& engine, std::string& error) {
    // No dialog box for a missing dependency: the reason goes to the report.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::string path(requested);
    for (char& c : path)
        if (c == '/') c = '\\';  // LoadLibrary wants backslashes in a path
    const HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = system_message(GetLastError());
        return false;
    }
    engine.module = module;
    char file[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(module, file, sizeof file);
    engine.file = length > 0 && length < sizeof file ? std::string(file, length) : path;
    // Windows knows a loaded DLL by its file name (GetModuleHandle's lookup).
    const std::size_t slash = engine.file.find_last_of("\\/");
    engine.known_as = slash == std::string::npos ? engine.file : engine.file.substr(slash + 1);
    return true;
}

}  // namespace jweb::check
