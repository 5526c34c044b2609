// Reading a variadic list and where it ends: its marker, a length the test
// announced, the cap, and reading checked against unreadable memory.
#pragma once

#include <cstdarg>

#include "record.h"

namespace standin_engine {

enum class ListEnd { last, endform, concurrent };

// The list's arguments up to and including its marker, or exactly the
// announced number of them, as a record of the entry.
Record read_list(const char* entry, ListEnd rule, const char* first, va_list* ap);

int list_cap();                    // at most this many arguments are read
void set_list_cap(int cap);        // cap >= 0
void set_checked_reads(bool on);   // every list read checked
void announce_list_length(int n);  // the next list on this thread, n >= 0

// The default cap, checked reading off, nothing announced on this thread.
void reset_list_reading();

}  // namespace standin_engine
