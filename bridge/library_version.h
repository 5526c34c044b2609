// The library's version, as every artifact of a release carries it.
#pragma once

namespace jweb {

// "jwebnative 0.2.0 (git 1a2b3c4)": kept in the shared library, where
// `strings` finds it, and printed by jweb-check, which links the same code.
extern const char library_version[];

}  // namespace jweb
