// Who is calling: the thread id and thread name that records hold. Each
// platform reads them its own way (thread_identity_linux.cpp,
// thread_identity_win32.cpp).
#pragma once

#include <string>

namespace standin_engine {

// The kernel's id of the calling thread. Per platform.
long long current_tid();

// The calling thread's name, read at its first call after each reset rather
// than per call: a system call per call would dominate the cost of the stand-in.
const std::string& current_thread_name();

// Every thread's name is read again at its next call (standin_reset).
void reread_thread_names();

// The name the system holds for the calling thread now; "" if none. Per platform.
std::string read_thread_name();

}  // namespace standin_engine
