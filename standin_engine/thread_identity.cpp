// Thread names as records hold them: read once per thread and reset.

#include <atomic>

#include "thread_identity.h"

namespace standin_engine {

namespace {

std::atomic<unsigned> g_generation{0};  // bumped by reset

struct NameCache {
    unsigned generation = ~0u;
    std::string name;
};

}  // namespace

const std::string& current_thread_name() {
    NameCache& t = thread_state<NameCache>();
    const unsigned generation = g_generation.load(std::memory_order_relaxed);
    if (t.generation != generation) {
        t.name = read_thread_name();
        t.generation = generation;
    }
    return t.name;
}

void reread_thread_names() { g_generation.fetch_add(1, std::memory_order_relaxed); }

}  // namespace standin_engine
