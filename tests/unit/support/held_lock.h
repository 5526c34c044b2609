// Holding a lock the library takes, to see what happens meanwhile (a fork).
//
// The unit test executable is linked with -Wl,--wrap=pthread_mutex_lock: the
// library's own locks, in its statically linked objects, go through the hook
// in held_lock.cpp, which passes every lock through, except the first one
// taken on a thread that armed it: that thread then keeps the lock, and waits
// inside it, until release_held_lock().
#pragma once

namespace held_lock {

// The next pthread_mutex_lock on the calling thread is held.
void hold_next_lock_on_this_thread();
// Waits until a thread holds a lock that way; false after 10 s without.
bool wait_until_held();
// Lets that thread go on (and unlock when it will).
void release_held_lock();

}  // namespace held_lock
