// What an engine entry is to the library: a function of the engine module,
// kept untyped in the table and cast to its real type at the call.
#pragma once

namespace jweb {

// Any engine function; cast to its real type at the call.
using EngineEntry = void (*)();

// An engine function's real type: the entry is cast to it at the call. The
// engine's functions take the C calling convention, in which the caller
// removes the arguments, whatever the library's own default; only 32-bit x86
// has another (__stdcall, the JNI methods'). A variadic function is cdecl on
// every compiler.
#if defined(__i386__)
template <class Result, class... Params>
using EngineFunction = Result(__attribute__((cdecl)) *)(Params...);
#else
template <class Result, class... Params>
using EngineFunction = Result (*)(Params...);
#endif

}  // namespace jweb
