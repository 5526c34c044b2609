// Stands in for java.exe in run-example.cmd's test: prints the arguments it
// was given, one a line, and the trace setting, then exits with status 3.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) std::printf("argument %d: %s\n", i, argv[i]);
    const char* trace = std::getenv("TSW_STANDIN_TRACE");
    std::printf("TSW_STANDIN_TRACE=%s\n", trace != nullptr ? trace : "(unset)");
    return 3;
}
