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

// Per-thread state that has a destructor, one of each type. mingw emulates
// thread_local and, at thread exit, frees a thread's storage before the
// destructors of the objects in it run, which then free what they own a
// second time (heap corruption in 32-bit processes): on Windows the state is
// made on the heap and never destroyed, some bytes per thread.
template <class State>
State& thread_state() {
#if defined(_WIN32)
    thread_local State& state = *new State;
#else
    thread_local State state;
#endif
    return state;
}

}  // namespace standin_engine
