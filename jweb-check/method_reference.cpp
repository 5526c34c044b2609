// Writes the reference of the 54 methods from the library's table, and checks
// or updates the copy of it in docs/method-reference.md, and the methods'
// declarations with their javadoc in java/tsapi/web.java.
//   method-reference                 print the Markdown section
//   method-reference --java          print the Java section
//   method-reference --check FILE    exit 1 when FILE's section differs
//   method-reference --update FILE   rewrite FILE's section in place
// A FILE ending in .java gets the Java section, any other the Markdown one.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "method_javadoc.h"

namespace {

struct Section {
    std::string_view begin_mark;
    std::string_view end_mark;
    std::string (*text)();
};

std::string markdown_reference();
std::string java_methods();

constexpr Section markdown{
    "<!-- method reference: made from methods/method_table.h by method-reference; do not edit by hand -->\n",
    "<!-- end of method reference -->\n", markdown_reference};
constexpr Section java{
    "    // ---- methods: made from methods/method_table.h by method-reference; do not edit by hand ----\n",
    "    // ---- end of methods ----\n", java_methods};

std::string markdown_reference() {
    using namespace jweb;
    std::ostringstream out;
    out << markdown.begin_mark;
    out << "| Java method (`tsapi.web`, static) | result | engine entry and the arguments it receives |\n";
    out << "|---|---|---|\n";
    for (const MethodRow& row : method_table) {
        out << "| `" << method_text::java_declaration(row) << "` | " << method_text::java_result(row) << " | ";
        if (row.entry == nullptr)
            out << "none: computed by the library |\n";
        else
            out << "`" << row.entry << "(" << method_text::engine_arguments(row) << ")` |\n";
    }
    out << "\n" << method_text::engine_argument_legend << "\n";
    out << markdown.end_mark;
    return out.str();
}

std::string java_methods() {
    using namespace jweb;
    std::string out(java.begin_mark);
    for (const MethodRow& row : method_table) {
        out += "\n";
        out += method_text::javadoc(row, "    ");
        out += "    public static native " + method_text::java_result(row) + " " + method_text::java_declaration(row) +
               ";\n";
    }
    out += java.end_mark;
    return out;
}

bool read_file(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

// The document's section, marks included: [begin, end).
bool find_section(const Section& section, const std::string& text, std::size_t& begin, std::size_t& end) {
    begin = text.find(section.begin_mark);
    if (begin == std::string::npos) return false;
    end = text.find(section.end_mark, begin);
    if (end == std::string::npos) return false;
    end += section.end_mark.size();
    return true;
}

// The first line where the two differ, for the message.
std::string first_difference(const std::string& have, const std::string& want) {
    std::istringstream a(have), b(want);
    std::string la, lb;
    for (int line = 1;; ++line) {
        const bool ga = static_cast<bool>(std::getline(a, la));
        const bool gb = static_cast<bool>(std::getline(b, lb));
        if (!ga && !gb) return "";
        if (!ga || !gb || la != lb)
            return "line " + std::to_string(line) + " of the section:\n  document: " + (ga ? la : "(end)") +
                   "\n  table:    " + (gb ? lb : "(end)");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string missing = jweb::method_text::rows_without_summary();
    if (!missing.empty()) {
        std::cerr << "method-reference: " << missing << "\n";
        return 2;
    }
    if (argc == 1 || (argc == 2 && std::strcmp(argv[1], "--java") == 0)) {
        std::cout << (argc == 1 ? markdown_reference() : java_methods());
        return 0;
    }
    if (argc != 3 || (std::strcmp(argv[1], "--check") != 0 && std::strcmp(argv[1], "--update") != 0)) {
        std::cerr << "usage: method-reference [--java | --check FILE | --update FILE]\n";
        return 2;
    }
    const char* path = argv[2];
    const std::string_view name(path);
    const Section& section = name.size() > 5 && name.substr(name.size() - 5) == ".java" ? java : markdown;
    const std::string want = section.text();
    std::string text;
    if (!read_file(path, text)) {
        std::cerr << "method-reference: cannot read " << path << "\n";
        return 2;
    }
    std::size_t begin = 0, end = 0;
    if (!find_section(section, text, begin, end)) {
        std::cerr << "method-reference: " << path << " has no method reference section (between \""
                  << section.begin_mark.substr(0, section.begin_mark.size() - 1) << "\" and \""
                  << section.end_mark.substr(0, section.end_mark.size() - 1) << "\")\n";
        return 2;
    }
    const std::string have = text.substr(begin, end - begin);
    if (std::strcmp(argv[1], "--check") == 0) {
        if (have == want) {
            std::cout << path << ": the method reference matches the library's table\n";
            return 0;
        }
        std::cerr << path << ": the method reference differs from the library's table, at "
                  << first_difference(have, want) << "\nRun: method-reference --update " << path << "\n";
        return 1;
    }
    if (have == want) return 0;
    text.replace(begin, end - begin, want);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return out ? 0 : 2;
}
