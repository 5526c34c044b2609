// Programs only: the build machine's start file (Scrt1.o) calls
// __libc_start_main in its glibc 2.34 version, which runs the program's
// constructors itself. Its first version, which every glibc has, runs them
// only through the function it is handed, as older start files did: that
// function is here, and the start file's call comes here (--wrap).
extern "C" {

using ProgramMain = int (*)(int, char**, char**);
using Initializer = void (*)(int, char**, char**);

// The linker marks out the program's own initializer arrays.
extern Initializer __preinit_array_start[] __attribute__((visibility("hidden")));
extern Initializer __preinit_array_end[] __attribute__((visibility("hidden")));
extern Initializer __init_array_start[] __attribute__((visibility("hidden")));
extern Initializer __init_array_end[] __attribute__((visibility("hidden")));
void _init();

int jweb_libc_start_main_base(ProgramMain main, int argc, char** argv, Initializer init, void (*fini)(),
                              void (*rtld_fini)(), void* stack_end);
__asm__(".symver jweb_libc_start_main_base,__libc_start_main@" JWEB_GLIBC_BASE);

}  // extern "C"

namespace {

void run_initializers(int argc, char** argv, char** environment) {
    for (Initializer* i = __preinit_array_start; i != __preinit_array_end; ++i) (*i)(argc, argv, environment);
    _init();
    for (Initializer* i = __init_array_start; i != __init_array_end; ++i) (*i)(argc, argv, environment);
}

}  // namespace

extern "C" [[gnu::visibility("hidden")]] int __wrap___libc_start_main(ProgramMain main, int argc, char** argv,
                                                                      Initializer, void (*)(), void (*rtld_fini)(),
                                                                      void* stack_end) {
    // The destructors run from the loader's exit handling, on every glibc.
    return jweb_libc_start_main_base(main, argc, argv, run_initializers, nullptr, rtld_fini, stack_end);
}
