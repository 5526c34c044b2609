// Tests of the stand-in engine itself, linked directly against the full variant.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <ucontext.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "standin_control.h"
#include "standin_entries.h"
#include "tests/unit/support/processor_faults.h"

namespace {

using Arg = std::optional<std::string>;
using Args = std::vector<Arg>;
constexpr std::nullopt_t null = std::nullopt;

struct Call {
    std::string name;
    long long thread_id = 0;
    std::string thread_name;
    Args args;
    std::optional<int> int_arg;
    std::optional<int> result;
    int failure = 0;
    int list_status = 0;
};

Call call_at(int i) {
    Call c;
    const char* name = standin_call_name(i);
    EXPECT_NE(name, nullptr) << "no call " << i;
    if (name == nullptr) return c;
    c.name = name;
    c.thread_id = standin_call_thread_id(i);
    c.thread_name = standin_call_thread_name(i);
    const int n = standin_call_arg_count(i);
    for (int k = 0; k < n; ++k) {
        const char* bytes = nullptr;
        std::size_t length = 0;
        const int kind = standin_call_arg(i, k, &bytes, &length);
        EXPECT_GE(kind, 0);
        c.args.push_back(kind == 1 ? Arg(std::string(bytes, length)) : null);
    }
    int value = 0;
    if (standin_call_int_arg(i, &value) == 1) c.int_arg = value;
    if (standin_call_result(i, &value) == 1) c.result = value;
    c.failure = standin_call_failure(i);
    c.list_status = standin_call_list_status(i);
    return c;
}

Call last_call() {
    const int count = standin_call_count();
    EXPECT_GT(count, 0);
    return count > 0 ? call_at(count - 1) : Call{};
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The clock the JSON trace's "mono_us" reads.
long long monotonic_us() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class StandinEngine : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("TSW_STANDIN_TRACE");
        standin_reset();
    }
    void TearDown() override {
        unsetenv("TSW_STANDIN_TRACE");
        standin_reset();
    }
};

// A trace file for one test, removed afterwards.
class TraceFile {
public:
    TraceFile() {
        char name[] = "/tmp/standin-trace-XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        close(fd);
        path_ = name;
        setenv("TSW_STANDIN_TRACE", path_.c_str(), 1);
        standin_reset();  // the destination is read again on reset
    }
    ~TraceFile() {
        unsetenv("TSW_STANDIN_TRACE");
        standin_reset();
        std::remove(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string text() const { return read_file(path_); }

private:
    std::string path_;
};

// ---- recording ----

struct EntryRow {
    const char* name;
    int (*call)();
    Args args;
    std::optional<int> int_arg;
};

// Every entry, with arguments that differ by position so that order shows.
const std::vector<EntryRow>& entry_rows() {
    static const std::vector<EntryRow> rows = {
        {"InitWebVuser", [] { return InitWebVuser(); }, {}, {}},
        {"TerminateWebVuser", [] { return TerminateWebVuser(); }, {}, {}},
        {"web_cleanup_cookies", [] { return web_cleanup_cookies(); }, {}, {}},
        {"web_disable_keep_alive", [] { return web_disable_keep_alive(); }, {}, {}},
        {"web_enable_keep_alive", [] { return web_enable_keep_alive(); }, {}, {}},
        {"web_cache_cleanup", [] { return web_cache_cleanup(); }, {}, {}},
        {"web_get_int_property", [] { return web_get_int_property(-7); }, {}, -7},
        {"URL", [] { return URL("u1"); }, {"u1"}, {}},
        {"web_set_max_html_param_len", [] { return web_set_max_html_param_len("1024"); }, {"1024"}, {}},
        {"web_set_proxy", [] { return web_set_proxy(nullptr); }, {null}, {}},
        {"web_set_secure_proxy", [] { return web_set_secure_proxy("p:1"); }, {"p:1"}, {}},
        {"web_set_proxy_bypass", [] { return web_set_proxy_bypass(""); }, {""}, {}},
        {"web_set_connections_limit", [] { return web_set_connections_limit("4"); }, {"4"}, {}},
        {"web_add_cookie", [] { return web_add_cookie("c=1"); }, {"c=1"}, {}},
        {"web_remove_cookie", [] { return web_remove_cookie("c"); }, {"c"}, {}},
        {"web_revert_auto_header", [] { return web_revert_auto_header("H"); }, {"H"}, {}},
        {"web_set_certificate", [] { return web_set_certificate("2"); }, {"2"}, {}},
        {"web_set_max_retries", [] { return web_set_max_retries("3"); }, {"3"}, {}},
        {"web_set_proxy_bypass_local", [] { return web_set_proxy_bypass_local("Yes"); }, {"Yes"}, {}},
        {"web_set_timeout", [] { return web_set_timeout("CONNECT", "30"); }, {"CONNECT", "30"}, {}},
        {"web_add_header", [] { return web_add_header(nullptr, "h2"); }, {null, "h2"}, {}},
        {"web_add_auto_header", [] { return web_add_auto_header("a1", nullptr); }, {"a1", null}, {}},
        {"web_save_header", [] { return web_save_header("REQUEST", "p"); }, {"REQUEST", "p"}, {}},
        {"web_set_sockets_option", [] { return web_set_sockets_option("o1", "o2"); }, {"o1", "o2"}, {}},
        {"SetUser", [] { return SetUser("s1", "s2", "s3"); }, {"s1", "s2", "s3"}, {}},
        {"web_create_html_param", [] { return web_create_html_param("h1", nullptr, "h3"); }, {"h1", null, "h3"}, {}},
        {"web_set_user", [] { return web_set_user("u1", "u2", "u3"); }, {"u1", "u2", "u3"}, {}},
        {"web_create_radio_button_param",
         [] { return web_create_radio_button_param("r1", "r2", "r3"); },
         {"r1", "r2", "r3"},
         {}},
        {"web_create_html_param_ex",
         [] { return web_create_html_param_ex("x1", "x2", "x3", "x4"); },
         {"x1", "x2", "x3", "x4"},
         {}},
        {"FormSubmit", [] { return FormSubmit("f1", nullptr, "ENDFORM"); }, {"f1", null, "ENDFORM"}, {}},
        {"web_url", [] { return web_url("u1", nullptr, "u3", "LAST"); }, {"u1", null, "u3", "LAST"}, {}},
        {"web_link", [] { return web_link("l1", "LAST"); }, {"l1", "LAST"}, {}},
        {"web_image", [] { return web_image(nullptr, "LAST"); }, {null, "LAST"}, {}},
        {"web_submit_form",
         [] { return web_submit_form("sf", "ITEMDATA", "Name=n", "LAST"); },
         {"sf", "ITEMDATA", "Name=n", "LAST"},
         {}},
        {"web_submit_data",
         [] { return web_submit_data("sd", "ITEMDATA", "ENDITEM", "LAST"); },
         {"sd", "ITEMDATA", "ENDITEM", "LAST"},
         {}},
        {"web_custom_request", [] { return web_custom_request("cr", "Body=", "LAST"); }, {"cr", "Body=", "LAST"}, {}},
        {"web_find", [] { return web_find("f", "What=x", "LAST"); }, {"f", "What=x", "LAST"}, {}},
        {"web_concurrent_start", [] { return web_concurrent_start(nullptr, "LAST"); }, {null, "LAST"}, {}},
        {"web_concurrent_end", [] { return web_concurrent_end("LAST"); }, {"LAST"}, {}},
        {"web_image_check", [] { return web_image_check("ic", "LAST"); }, {"ic", "LAST"}, {}},
        {"web_java_check", [] { return web_java_check("jc", "LAST"); }, {"jc", "LAST"}, {}},
        {"web_global_verification", [] { return web_global_verification("Text=t", "LAST"); }, {"Text=t", "LAST"}, {}},
        {"web_reg_find", [] { return web_reg_find("Text=r", "LAST"); }, {"Text=r", "LAST"}, {}},
        {"web_reg_save_param",
         [] { return web_reg_save_param("p", "LB=a", "RB=b", "LAST"); },
         {"p", "LB=a", "RB=b", "LAST"},
         {}},
        {"web_remove_auto_header", [] { return web_remove_auto_header("H", "LAST"); }, {"H", "LAST"}, {}},
        {"web_set_certificate_ex",
         [] { return web_set_certificate_ex("CertFilePath=c", "LAST"); },
         {"CertFilePath=c", "LAST"},
         {}},
        {"web_create_html_query", [] { return web_create_html_query("q", "LAST"); }, {"q", "LAST"}, {}},
        {"web_set_option", [] { return web_set_option("o", "v", "LAST"); }, {"o", "v", "LAST"}, {}},
    };
    return rows;
}

TEST_F(StandinEngine, EveryEntryRecordsItsNameArgumentsAndThread) {
    ASSERT_EQ(entry_rows().size(), 48u);
    for (const EntryRow& row : entry_rows()) {
        SCOPED_TRACE(row.name);
        standin_reset();
        EXPECT_EQ(row.call(), 0);
        ASSERT_EQ(standin_call_count(), 1);
        const Call c = call_at(0);
        EXPECT_EQ(c.name, row.name);
        EXPECT_EQ(c.args, row.args);
        EXPECT_EQ(c.int_arg, row.int_arg);
        EXPECT_EQ(c.result, 0);
        EXPECT_EQ(c.failure, STANDIN_FAIL_NONE);
        EXPECT_EQ(c.list_status, STANDIN_LIST_COMPLETE);
        EXPECT_EQ(c.thread_id, standin_current_thread_id());
    }
}

TEST_F(StandinEngine, CallsAccumulateInOrderUntilReset) {
    for (const EntryRow& row : entry_rows()) row.call();
    ASSERT_EQ(standin_call_count(), 48);
    for (int i = 0; i < 48; ++i) EXPECT_EQ(call_at(i).name, entry_rows()[static_cast<std::size_t>(i)].name);
    standin_reset();
    EXPECT_EQ(standin_call_count(), 0);
}

struct ListRow {
    const char* what;
    int (*call)();
    Args args;
};

TEST_F(StandinEngine, ListsEndAtTheirOwnMarkerAndKeepNullsAndBytes) {
    const std::vector<ListRow> rows = {
        {"null first and inside", [] { return web_url(nullptr, "a", nullptr, "LAST"); }, {null, "a", null, "LAST"}},
        {"only the marker", [] { return web_url("LAST"); }, {"LAST"}},
        {"nothing read past the marker", [] { return web_url("a", "LAST", "not read"); }, {"a", "LAST"}},
        {"ENDFORM ends FormSubmit, LAST does not",
         [] { return FormSubmit("f", "LAST", "ITEMDATA", nullptr, "ENDFORM", "not read"); },
         {"f", "LAST", "ITEMDATA", null, "ENDFORM"}},
        {"ENDFORM does not end web_url", [] { return web_url("u", "ENDFORM", "LAST"); }, {"u", "ENDFORM", "LAST"}},
        {"ITEMDATA is just a string",
         [] { return web_submit_data("d", "ITEMDATA", "Name=a", "ENDITEM", "Name=b", "ENDITEM", "LAST"); },
         {"d", "ITEMDATA", "Name=a", "ENDITEM", "Name=b", "ENDITEM", "LAST"}},
        {"a marker inside a longer string is data",
         [] { return web_url("LASTING", "xLAST", "LAST"); },
         {"LASTING", "xLAST", "LAST"}},
        {"empty strings are not null", [] { return web_link("", nullptr, "", "LAST"); }, {"", null, "", "LAST"}},
        {"bytes kept as they are",
         [] { return web_url("\xff\x01\x7f", "\xc3\xa9\t\n", "LAST"); },
         {"\xff\x01\x7f", "\xc3\xa9\t\n", "LAST"}},
        {"more arguments than registers",
         [] { return web_url("1", "2", "3", "4", "5", "6", "7", "8", "9", "10", nullptr, "12", "LAST"); },
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", null, "12", "LAST"}},
    };
    for (const ListRow& row : rows) {
        SCOPED_TRACE(row.what);
        standin_reset();
        row.call();
        const Call c = last_call();
        EXPECT_EQ(c.args, row.args);
        EXPECT_EQ(c.list_status, STANDIN_LIST_COMPLETE);
    }
}

struct ConcurrentRow {
    const char* what;
    int announced;  // -1: none
    int (*call)();
    Args args;
};

TEST_F(StandinEngine, ConcurrentListsEndAtLastOrAtTheAnnouncedLength) {
    const std::vector<ConcurrentRow> rows = {
        {"no announcement: up to LAST",
         -1,
         [] { return web_concurrent_start("g", nullptr, "LAST", "no"); },
         {"g", null, "LAST"}},
        {"no announcement, end list", -1, [] { return web_concurrent_end(nullptr, "LAST"); }, {null, "LAST"}},
        {"announced: exactly n, no marker needed", 2, [] { return web_concurrent_start("g", "h"); }, {"g", "h"}},
        {"announced: LAST is an ordinary string",
         3,
         [] { return web_concurrent_end("LAST", nullptr, "x"); },
         {"LAST", null, "x"}},
        {"announced: ending in null", 2, [] { return web_concurrent_start("g", nullptr); }, {"g", null}},
        {"announced zero: nothing read", 0, [] { return web_concurrent_start(nullptr); }, {}},
        {"announced: applies to marker lists too",
         4,
         [] { return web_url("a", "LAST", "b", "c"); },
         {"a", "LAST", "b", "c"}},
        {"announced: FormSubmit stops at n", 1, [] { return FormSubmit("f", "ENDFORM"); }, {"f"}},
    };
    for (const ConcurrentRow& row : rows) {
        SCOPED_TRACE(row.what);
        standin_reset();
        if (row.announced >= 0) {
            ASSERT_EQ(standin_expect_list_length(row.announced), 0);
        }
        row.call();
        const Call c = last_call();
        EXPECT_EQ(c.args, row.args);
        EXPECT_EQ(c.list_status, STANDIN_LIST_COMPLETE);
    }
}

TEST_F(StandinEngine, AnnouncedLengthIsOneShotThreadLocalAndOnlyForLists) {
    ASSERT_EQ(standin_expect_list_length(-1), -1);  // refused, nothing announced
    web_concurrent_start("a", "LAST", "b");
    EXPECT_EQ(last_call().args, (Args{"a", "LAST"}));

    standin_expect_list_length(2);
    web_add_cookie("fixed arguments do not take it");
    std::thread([] { web_concurrent_start("other", "thread", "LAST"); }).join();
    EXPECT_EQ(last_call().args, (Args{"other", "thread", "LAST"}));
    web_concurrent_start("x", "y", "LAST");
    EXPECT_EQ(last_call().args, (Args{"x", "y"}));
    web_concurrent_start("used", "up", "LAST");
    EXPECT_EQ(last_call().args, (Args{"used", "up", "LAST"}));

    standin_expect_list_length(1);
    standin_reset();
    web_concurrent_end("c", "d", "LAST");
    EXPECT_EQ(last_call().args, (Args{"c", "d", "LAST"}));
}

struct CapRow {
    const char* what;
    int cap;
    int announced;
    int (*call)();
    Args args;
    int status;
};

TEST_F(StandinEngine, ListsStopAtTheCapAndSaySo) {
    const std::vector<CapRow> rows = {
        {"cut before the marker",
         3,
         -1,
         [] { return web_url("a", "b", "c", "d", "LAST"); },
         {"a", "b", "c"},
         STANDIN_LIST_CAPPED},
        {"marker exactly at the cap",
         3,
         -1,
         [] { return web_url("a", "b", "LAST"); },
         {"a", "b", "LAST"},
         STANDIN_LIST_COMPLETE},
        {"cap zero", 0, -1, [] { return web_url("a", "LAST"); }, {}, STANDIN_LIST_CAPPED},
        {"announced beyond the cap",
         2,
         3,
         [] { return web_concurrent_start("a", "b", "c"); },
         {"a", "b"},
         STANDIN_LIST_CAPPED},
        {"announced equal to the cap",
         2,
         2,
         [] { return web_concurrent_start("a", "b"); },
         {"a", "b"},
         STANDIN_LIST_COMPLETE},
        {"fixed arguments are not lists",
         0,
         -1,
         [] { return web_set_user("a", "b", "c"); },
         {"a", "b", "c"},
         STANDIN_LIST_COMPLETE},
    };
    for (const CapRow& row : rows) {
        SCOPED_TRACE(row.what);
        standin_reset();
        ASSERT_EQ(standin_set_list_cap(row.cap), 0);
        if (row.announced >= 0) standin_expect_list_length(row.announced);
        row.call();
        const Call c = last_call();
        EXPECT_EQ(c.args, row.args);
        EXPECT_EQ(c.list_status, row.status);
    }
    EXPECT_EQ(standin_set_list_cap(-1), -1);
    standin_set_list_cap(1);
    standin_reset();  // back to the default cap
    web_url("a", "b", "c", "LAST");
    EXPECT_EQ(last_call().args.size(), 4u);
}

// Two pages: the first readable, the second not.
struct EdgeOfMapping {
    EdgeOfMapping() {
        page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* p = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(p, MAP_FAILED);
        base = static_cast<char*>(p);
        EXPECT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    }
    ~EdgeOfMapping() { munmap(base, 2 * page); }
    const char* unreadable() const { return base + page; }
    // A string whose last byte before the unreadable page is `last`.
    const char* ending_at_edge(std::size_t length, char last) {
        char* s = base + page - length;
        std::memset(s, 'e', length);
        s[length - 1] = last;
        return s;
    }
    std::size_t page;
    char* base;
};

TEST_F(StandinEngine, CheckedReadingStopsAtUnreadableMemoryInsteadOfCrashing) {
    EdgeOfMapping edge;
    const char* bad = edge.unreadable();
    const std::string long_text(3 * 4096 + 17, 'L');

    // Concurrent lists without an announced length are always read checked.
    web_concurrent_start("g", bad, "LAST");
    EXPECT_EQ(last_call().args, (Args{"g"}));
    EXPECT_EQ(last_call().list_status, STANDIN_LIST_UNREADABLE);

    // Other lists when asked to.
    standin_set_checked_reads(1);
    web_url("a", nullptr, bad, "LAST");
    EXPECT_EQ(last_call().args, (Args{"a", null}));
    EXPECT_EQ(last_call().list_status, STANDIN_LIST_UNREADABLE);

    // A string running into the unreadable page has no end.
    web_url("a", edge.ending_at_edge(10, 'x'), "LAST");
    EXPECT_EQ(last_call().args, (Args{"a"}));
    EXPECT_EQ(last_call().list_status, STANDIN_LIST_UNREADABLE);

    // One ending right at the edge reads whole, as do strings over several pages.
    web_url(edge.ending_at_edge(10, '\0'), long_text.c_str(), "LAST");
    EXPECT_EQ(last_call().args, (Args{"eeeeeeeee", long_text, "LAST"}));
    EXPECT_EQ(last_call().list_status, STANDIN_LIST_COMPLETE);

    web_url("1", "2", "3", "4", "5", "6", "7", "8", "9", "LAST");
    EXPECT_EQ(last_call().args.size(), 10u);
    EXPECT_EQ(last_call().list_status, STANDIN_LIST_COMPLETE);

    standin_reset();  // checked reading off again; concurrent lists stay checked
    web_concurrent_end("g", bad, "LAST");
    EXPECT_EQ(last_call().list_status, STANDIN_LIST_UNREADABLE);
}

TEST_F(StandinEngine, ConcurrentListWithoutAnyEndDoesNotCrash) {
    // What lies past "h" is whatever the registers and the stack hold; reading
    // must stop somewhere without a fault, with the real arguments in front.
    web_concurrent_start("g", nullptr, "h");
    const Call c = last_call();
    ASSERT_GE(c.args.size(), 3u);
    EXPECT_EQ(c.args[0], "g");
    EXPECT_EQ(c.args[1], null);
    EXPECT_EQ(c.args[2], "h");
}

void call_from_the_top_of_the_stack() {
    // As many arguments as registers carry them (six on x86-64, eight on
    // arm64): what va_arg reads next comes from the stack.
    web_concurrent_start("g", nullptr, "h", nullptr, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(StandinEngine, ListRunningOffTheTopOfTheStackStopsAtItsEnd) {
    // A fresh stack of zeros, an unreadable page right above it: past the
    // arguments the reading meets the caller's frame (zeros, return
    // addresses), then that page, where it must stop instead of faulting.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t size = 256 * 1024 / page * page + page;
    void* mapping = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    char* stack = static_cast<char*>(mapping);
    ASSERT_EQ(mprotect(stack + size, page, PROT_NONE), 0);
    ucontext_t caller;
    ucontext_t top;
    ASSERT_EQ(getcontext(&top), 0);
    top.uc_stack.ss_sp = stack;
    top.uc_stack.ss_size = size;
    top.uc_link = &caller;
    makecontext(&top, call_from_the_top_of_the_stack, 0);
    ASSERT_EQ(swapcontext(&caller, &top), 0);
    munmap(mapping, size + page);

    const Call c = last_call();
    EXPECT_EQ(c.list_status, STANDIN_LIST_UNREADABLE);
    ASSERT_GE(c.args.size(), 8u);
    EXPECT_EQ(c.args[0], "g");
    EXPECT_EQ(c.args[1], null);
    EXPECT_EQ(c.args[2], "h");
    for (std::size_t k = 3; k < 8; ++k) EXPECT_EQ(c.args[k], null) << k;
}

// ---- results ----

TEST_F(StandinEngine, ResultIsSetForAllFollowingCallsOnAllThreads) {
    for (const int value : {7, -1, 0x7fffffff, -55555, 0}) {
        SCOPED_TRACE(value);
        standin_set_result(value);
        for (const EntryRow& row : entry_rows()) EXPECT_EQ(row.call(), value) << row.name;
        int other = 0;
        std::thread([&] { other = web_url("t", "LAST"); }).join();
        EXPECT_EQ(other, value);
        EXPECT_EQ(last_call().result, value);
    }
    standin_set_result(12);
    standin_reset();
    EXPECT_EQ(InitWebVuser(), 0);
}

// ---- injected exceptions ----

struct ShapeRow {
    const char* name;
    int (*call)();
};

const std::vector<ShapeRow> shape_rows = {
    {"InitWebVuser", [] { return InitWebVuser(); }},
    {"web_get_int_property", [] { return web_get_int_property(3); }},
    {"URL", [] { return URL("u"); }},
    {"web_create_html_param_ex", [] { return web_create_html_param_ex("a", "b", "c", "d"); }},
    {"web_url", [] { return web_url("a", nullptr, "LAST"); }},
    {"FormSubmit", [] { return FormSubmit("f", "ENDFORM"); }},
    {"web_concurrent_start", [] { return web_concurrent_start("g", "LAST"); }},
};

struct ExceptionRow {
    int kind;
    void (*expect_thrown)(int (*call)(), const char* entry);
};

TEST_F(StandinEngine, InjectedExceptionsPropagateOnceOnTheCallingThreadAfterRecording) {
    const std::vector<ExceptionRow> rows = {
        {STANDIN_FAIL_THROW_INT,
         [](int (*call)(), const char*) {
             try {
                 call();
                 ADD_FAILURE() << "nothing thrown";
             } catch (int thrown) {
                 EXPECT_EQ(thrown, STANDIN_THROWN_INT);
             }
         }},
        {STANDIN_FAIL_THROW_RUNTIME_ERROR,
         [](int (*call)(), const char* entry) {
             try {
                 call();
                 ADD_FAILURE() << "nothing thrown";
             } catch (const std::runtime_error& e) {
                 EXPECT_NE(std::string(e.what()).find(entry), std::string::npos) << e.what();
             }
         }},
        {STANDIN_FAIL_THROW_UNRELATED,
         [](int (*call)(), const char* entry) {
             try {
                 call();
                 ADD_FAILURE() << "nothing thrown";
             } catch (const std::exception&) {
                 ADD_FAILURE() << "derived from std::exception";
             } catch (const standin::UnrelatedFailure& f) {
                 EXPECT_STREQ(f.entry, entry);
             }
         }},
        {STANDIN_FAIL_BLOCK_SIGNALS_THEN_THROW,
         [](int (*call)(), const char*) {
             sigset_t before, after;
             pthread_sigmask(SIG_SETMASK, nullptr, &before);
             EXPECT_THROW(call(), std::runtime_error);
             pthread_sigmask(SIG_SETMASK, &before, &after);  // put back for the next rows
             for (int blocked : {SIGFPE, SIGUSR2, SIGPIPE, SIGALRM, SIGPROF})
                 EXPECT_EQ(sigismember(&after, blocked), 1);
             EXPECT_EQ(sigismember(&after, SIGSEGV), 0);
         }},
    };
    for (const ExceptionRow& row : rows) {
        for (const ShapeRow& shape : shape_rows) {
            SCOPED_TRACE(std::string(shape.name) + " kind " + std::to_string(row.kind));
            standin_reset();
            standin_set_result(5);
            ASSERT_EQ(standin_inject_failure(row.kind), 0);
            // Another thread is not affected.
            int other = -1;
            std::thread([&] { other = shape.call(); }).join();
            EXPECT_EQ(other, 5);
            row.expect_thrown(shape.call, shape.name);
            ASSERT_EQ(standin_call_count(), 2);
            const Call failed = call_at(1);
            EXPECT_EQ(failed.name, shape.name);
            EXPECT_EQ(failed.failure, row.kind);
            EXPECT_EQ(failed.result, std::nullopt);
            EXPECT_EQ(call_at(0).failure, STANDIN_FAIL_NONE);
            EXPECT_EQ(shape.call(), 5);  // one-shot
        }
    }
}

TEST_F(StandinEngine, InjectionCanBeRefusedClearedAndReset) {
    struct KindRow {
        int kind;
        bool accepted;
    };
    const std::vector<KindRow> rows = {
        {-1, false},
        {STANDIN_FAIL_RAISE_FOREIGN, false},                           // Windows only
        {STANDIN_FAIL_FPE, processor_faults::division_by_zero_traps},  // not on arm64
        {STANDIN_FAIL_THROW_THROUGH_C_FRAME + 1, false},
        {STANDIN_FAIL_THROW_THROUGH_C_FRAME, true},
        {STANDIN_FAIL_BLOCK_FAULTS_THEN_SEGV, true},
        {STANDIN_FAIL_SEGV_ON_ENGINE_THREAD, true},
        {STANDIN_FAIL_SLOW_STACK_OVERFLOW, true},
        {STANDIN_FAIL_BUSY_UNWALKABLE, true},
        {STANDIN_FAIL_BLOCK_SIGNALS_THEN_SEGV, true},
        {STANDIN_FAIL_BLOCK_SIGNALS_THEN_THROW, true},
        {STANDIN_FAIL_GENERATED_SEGV, true},
        {STANDIN_FAIL_GENERATED_FPE, processor_faults::division_by_zero_traps},
        {STANDIN_FAIL_CALL_BACK_THEN_SEGV, true},
        {STANDIN_FAIL_CALL_BACK_THEN_THROW, true},
        {STANDIN_FAIL_THREAD_EXIT, true},
        {STANDIN_FAIL_CALL_BACK, true},
        {STANDIN_FAIL_OVERRUN, true},
    };
    for (const KindRow& row : rows) {
        SCOPED_TRACE(row.kind);
        EXPECT_EQ(standin_inject_failure(row.kind), row.accepted ? 0 : -1);
        if (row.accepted) standin_inject_failure(STANDIN_FAIL_NONE);  // none of them may run here
        EXPECT_EQ(InitWebVuser(), 0);
        EXPECT_EQ(last_call().failure, STANDIN_FAIL_NONE);
    }
    EXPECT_EQ(standin_set_overrun_bytes(15), -1);
    EXPECT_EQ(standin_set_overrun_bytes(16), 0);
    standin_inject_failure(STANDIN_FAIL_THROW_INT);
    standin_inject_failure(STANDIN_FAIL_NONE);
    EXPECT_EQ(InitWebVuser(), 0);
    standin_inject_failure(STANDIN_FAIL_THROW_INT);
    standin_reset();
    EXPECT_EQ(InitWebVuser(), 0);
}

// ---- injected faults, each in a child process ----

struct SignalRow {
    int kind;
    int signal;
    const char* text;
    int overrun_bytes;  // 0: the default
};

class StandinEngineDeathTest : public StandinEngine {};

TEST_F(StandinEngineDeathTest, InjectedFaultsRaiseTheirSignalAfterRecording) {
    const std::vector<SignalRow> rows = {
        {STANDIN_FAIL_SEGV, SIGSEGV, "SIGSEGV", 0},
        {STANDIN_FAIL_FPE, SIGFPE, "SIGFPE", 0},
        {STANDIN_FAIL_BUS, SIGBUS, "SIGBUS", 0},
        {STANDIN_FAIL_ILL, SIGILL, "SIGILL", 0},
        {STANDIN_FAIL_STACK_OVERFLOW, SIGSEGV, "stack overflow", 0},
        // The return through the overwritten frame faults, unguarded.
        {STANDIN_FAIL_OVERRUN, SIGSEGV, "overrun of 200 bytes", 0},
        {STANDIN_FAIL_OVERRUN, SIGSEGV, "overrun of 16 bytes", 16},
        {STANDIN_FAIL_GENERATED_SEGV, SIGSEGV, "SIGSEGV in generated code", 0},
        {STANDIN_FAIL_GENERATED_FPE, SIGFPE, "SIGFPE in generated code", 0},
        // Without a callback the call goes straight to its failure.
        {STANDIN_FAIL_CALL_BACK_THEN_SEGV, SIGSEGV, "call back, then SIGSEGV", 0},
        {STANDIN_FAIL_BLOCK_SIGNALS_THEN_SEGV, SIGSEGV, "block signals, then SIGSEGV", 0},
    };
    for (const SignalRow& row : rows) {
        if (standin_inject_failure(row.kind) != 0) continue;  // refused here (no SIGFPE on arm64), above
        standin_inject_failure(STANDIN_FAIL_NONE);
        for (const ShapeRow& shape : shape_rows) {
            SCOPED_TRACE(std::string(shape.name) + " " + row.text);
            TraceFile trace;
            // The default action, whatever handler a sanitizer put in place.
            EXPECT_EXIT(
                {
                    std::signal(row.signal, SIG_DFL);
                    if (row.overrun_bytes != 0) standin_set_overrun_bytes(row.overrun_bytes);
                    standin_inject_failure(row.kind);
                    shape.call();
                },
                ::testing::KilledBySignal(row.signal), "");
            // The child traced the call before it died.
            const std::string text = trace.text();
            EXPECT_EQ(text.rfind(shape.name, 0), 0u) << text;
            EXPECT_NE(text.find(std::string("/* injected failure: ") + row.text + " */\n"), std::string::npos) << text;
        }
    }
}

// ---- the address-space cap ----

TEST_F(StandinEngine, LimitAddressSpaceRefusesNewMappingsUntilLifted) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer maps memory of its own at any time";
#endif
    const auto size = static_cast<std::size_t>(1) << 20;
    ASSERT_EQ(standin_limit_address_space(1), 0);
    rlimit applied{};
    if (getrlimit(RLIMIT_AS, &applied) == 0 && applied.rlim_cur == RLIM_INFINITY) {
        standin_limit_address_space(0);
        GTEST_SKIP() << "the cap is accepted but not applied: qemu's user mode keeps address-space limits off";
    }
    void* refused = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_EQ(standin_limit_address_space(1), -1) << "capped already";
    ASSERT_EQ(standin_limit_address_space(0), 0);
    EXPECT_EQ(refused, MAP_FAILED);
    void* granted = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(granted, MAP_FAILED);
    if (granted != MAP_FAILED) munmap(granted, size);
    if (refused != MAP_FAILED) munmap(refused, size);
}

// ---- ending the calling thread ----

struct ExitingCall {
    int (*call)();
    long long thread = 0;
    bool returned = false;
};

TEST_F(StandinEngine, ThreadExitEndsTheCallingThreadAfterRecordingAndTheProcessGoesOn) {
    for (const ShapeRow& shape : shape_rows) {
        SCOPED_TRACE(shape.name);
        TraceFile trace;
        ExitingCall exiting{shape.call};
        pthread_t thread;
        ASSERT_EQ(pthread_create(
                      &thread, nullptr,
                      [](void* p) -> void* {
                          auto* e = static_cast<ExitingCall*>(p);
                          e->thread = standin_current_thread_id();
                          standin_inject_failure(STANDIN_FAIL_THREAD_EXIT);
                          e->call();
                          e->returned = true;
                          return p;
                      },
                      &exiting),
                  0);
        void* value = &exiting;
        ASSERT_EQ(pthread_join(thread, &value), 0);
        EXPECT_EQ(value, nullptr) << "ended by pthread_exit(NULL), not by returning";
        EXPECT_FALSE(exiting.returned);
        ASSERT_EQ(standin_call_count(), 1);
        const Call c = call_at(0);
        EXPECT_EQ(c.name, shape.name);
        EXPECT_EQ(c.failure, STANDIN_FAIL_THREAD_EXIT);
        EXPECT_EQ(c.result, std::nullopt);
        EXPECT_EQ(c.thread_id, exiting.thread);
        const std::string text = trace.text();
        EXPECT_EQ(text.rfind(shape.name, 0), 0u) << text;
        EXPECT_NE(text.find("/* injected failure: thread exit */\n"), std::string::npos) << text;
        EXPECT_EQ(shape.call(), 0);  // nothing armed on this thread
    }
}

// ---- calling back ----

struct CallbackSeen {
    int runs = 0;
    int records = -1;  // standin_call_count() while it ran
    long long thread = 0;
};

int note_and_answer(void* context) {
    auto* seen = static_cast<CallbackSeen*>(context);
    ++seen->runs;
    seen->records = standin_call_count();
    seen->thread = standin_current_thread_id();
    return 42;
}

TEST_F(StandinEngine, CallBackRecordsTheCallThenReturnsWhatTheCallbackReturns) {
    for (const ShapeRow& shape : shape_rows) {
        SCOPED_TRACE(shape.name);
        standin_reset();
        standin_set_result(5);
        CallbackSeen seen;
        standin_set_callback(note_and_answer, &seen);
        ASSERT_EQ(standin_inject_failure(STANDIN_FAIL_CALL_BACK), 0);
        int other = -1;
        std::thread([&] { other = shape.call(); }).join();
        EXPECT_EQ(other, 5) << "armed on this thread only";
        EXPECT_EQ(seen.runs, 0);
        EXPECT_EQ(shape.call(), 42);
        EXPECT_EQ(seen.runs, 1);
        EXPECT_EQ(seen.records, 2) << "recorded before the callback ran";
        EXPECT_EQ(seen.thread, standin_current_thread_id());
        const Call c = last_call();
        EXPECT_EQ(c.name, shape.name);
        EXPECT_EQ(c.result, 42);
        EXPECT_EQ(c.failure, STANDIN_FAIL_NONE);
        EXPECT_EQ(shape.call(), 5);  // one-shot
        EXPECT_EQ(seen.runs, 1);
    }
}

// The callback runs first, then the failure: an engine that calls into Java
// and then fails.
TEST_F(StandinEngine, CallBackThenThrowRunsTheCallbackBeforeThrowing) {
    for (const ShapeRow& shape : shape_rows) {
        SCOPED_TRACE(shape.name);
        standin_reset();
        CallbackSeen seen;
        standin_set_callback(note_and_answer, &seen);
        ASSERT_EQ(standin_inject_failure(STANDIN_FAIL_CALL_BACK_THEN_THROW), 0);
        EXPECT_THROW(shape.call(), std::runtime_error);
        EXPECT_EQ(seen.runs, 1);
        EXPECT_EQ(seen.records, 1) << "recorded before the callback ran";
        EXPECT_EQ(last_call().failure, STANDIN_FAIL_CALL_BACK_THEN_THROW);
        EXPECT_EQ(shape.call(), 0);  // one-shot
        EXPECT_EQ(seen.runs, 1);
    }
}

TEST_F(StandinEngine, CallBackWithoutCallbackReturnsAsUsualAndSurvivesAResetInside) {
    standin_set_result(5);
    CallbackSeen seen;
    for (const bool cleared_by_reset : {false, true}) {
        SCOPED_TRACE(cleared_by_reset ? "reset" : "null");
        standin_set_callback(note_and_answer, &seen);
        if (cleared_by_reset)
            standin_reset();
        else
            standin_set_callback(nullptr, &seen);
        standin_inject_failure(STANDIN_FAIL_CALL_BACK);
        EXPECT_EQ(InitWebVuser(), cleared_by_reset ? 0 : 5);
        EXPECT_EQ(last_call().result, cleared_by_reset ? 0 : 5);
    }
    EXPECT_EQ(seen.runs, 0);

    // A callback that resets: the call's record is gone, its result is not.
    standin_set_callback(
        [](void*) {
            standin_reset();
            return 7;
        },
        nullptr);
    standin_inject_failure(STANDIN_FAIL_CALL_BACK);
    EXPECT_EQ(web_url("a", "LAST"), 7);
    EXPECT_EQ(standin_call_count(), 0);
}

// ---- the trace ----

struct TraceRow {
    int (*call)();
    const char* line;
};

int catching(int (*call)()) {
    try {
        return call();
    } catch (...) {
        return -1;
    }
}

TEST_F(StandinEngine, TraceShowsEachCallInCForm) {
    const std::vector<TraceRow> rows = {
        {[] { return web_url("home", "URL=http://shop.test/", nullptr, "LAST"); },
         R"(web_url("home", "URL=http://shop.test/", NULL, LAST) = 0)"},
        {[] { return web_get_int_property(7); }, "web_get_int_property(7) = 0"},
        {[] { return web_get_int_property(-2147483647 - 1); }, "web_get_int_property(-2147483648) = 0"},
        {[] { return InitWebVuser(); }, "InitWebVuser() = 0"},
        {[] { return web_set_user(nullptr, "p", nullptr); }, R"(web_set_user(NULL, "p", NULL) = 0)"},
        {[] { return web_add_cookie(""); }, R"(web_add_cookie("") = 0)"},
        {[] { return web_add_header("q\"b\\s", "n\nr\rt\t"); }, R"(web_add_header("q\"b\\s", "n\nr\rt\t") = 0)"},
        {[] { return web_add_cookie("\x01\x1f\x7f\x80\xc3\xa9 ~"); },
         R"(web_add_cookie("\x01\x1f\x7f\x80\xc3\xa9 ~") = 0)"},
        // A hex digit after \xHH would extend the escape: the literal is split.
        {[] {
             return web_add_cookie(
                 "\xff"
                 "A1g\x01"
                 "9\x02"
                 "z\x03"
                 "f");
         },
         R"(web_add_cookie("\xff""A1g\x01""9\x02z\x03""f") = 0)"},
        {[] { return web_add_cookie("LAST"); }, R"(web_add_cookie("LAST") = 0)"},
        {[] { return FormSubmit("f", "LAST", "ENDFORM"); }, R"(FormSubmit("f", LAST, ENDFORM) = 0)"},
        {[] { return web_submit_data("d", "ITEMDATA", "Name=n", "ENDITEM", "LAST"); },
         R"(web_submit_data("d", ITEMDATA, "Name=n", "ENDITEM", LAST) = 0)"},
        {[] {
             standin_set_result(-3);
             return web_link("l", "LASTING", "LAST");
         },
         R"(web_link("l", "LASTING", LAST) = -3)"},
        {[] {
             standin_expect_list_length(0);
             return web_concurrent_start(nullptr);
         },
         "web_concurrent_start() = 0"},
        {[] {
             standin_set_list_cap(2);
             return web_url("a", "b", "c", "LAST");
         },
         R"(web_url("a", "b", ...) = 0 /* list cut at the cap of 2 arguments */)"},
        {[] {
             standin_inject_failure(STANDIN_FAIL_THROW_INT);
             return catching([] { return web_url("x", "LAST"); });
         },
         R"(web_url("x", LAST) /* injected failure: throw int */)"},
        {[] {
             standin_inject_failure(STANDIN_FAIL_THROW_RUNTIME_ERROR);
             return catching([] { return TerminateWebVuser(); });
         },
         "TerminateWebVuser() /* injected failure: throw std::runtime_error */"},
        // The custom request's body, before LAST, is shown with its length.
        {[] { return web_custom_request("r", "URL=u", "Method=POST", "{\"a\":1}\x80", "LAST"); },
         R"(web_custom_request("r", "URL=u", "Method=POST", "{\"a\":1}\x80" /* 8 bytes */, LAST) = 0)"},
        {[] { return web_custom_request("r", "URL=u", "", "LAST"); },
         R"(web_custom_request("r", "URL=u", "" /* 0 bytes */, LAST) = 0)"},
        {[] { return web_custom_request("r", "URL=u", "LAST"); }, R"(web_custom_request("r", "URL=u", LAST) = 0)"},
        {[] { return web_custom_request("r", "URL=u", nullptr, "LAST"); },
         R"(web_custom_request("r", "URL=u", NULL, LAST) = 0)"},
        {[] { return web_url("r", "URL=u", "body", "LAST"); }, R"(web_url("r", "URL=u", "body", LAST) = 0)"},
        // Traced once the callback returned, after what the callback called.
        {[] {
             standin_set_callback([](void*) { return web_add_cookie("inner") + 42; }, nullptr);
             standin_inject_failure(STANDIN_FAIL_CALL_BACK);
             return web_url("x", "LAST");
         },
         "web_add_cookie(\"inner\") = 0\n"
         R"(web_url("x", LAST) = 42 /* called back */)"},
    };
    // text-tid puts the calling thread before every line, a callback's inner lines too.
    struct FormatRow {
        const char* value;  // nullptr: unset
        std::string prefix;
    };
    const std::vector<FormatRow> formats = {
        {nullptr, ""},
        {"", ""},
        {"text", ""},
        {"text-tid", "[tid " + std::to_string(standin_current_thread_id()) + "] "},
    };
    for (const FormatRow& format : formats) {
        if (format.value)
            setenv("TSW_STANDIN_TRACE_FORMAT", format.value, 1);
        else
            unsetenv("TSW_STANDIN_TRACE_FORMAT");
        for (const TraceRow& row : rows) {
            SCOPED_TRACE(std::string(format.value ? format.value : "(unset)") + ": " + row.line);
            std::string expected;
            std::istringstream lines(row.line);
            for (std::string line; std::getline(lines, line);) expected += format.prefix + line + "\n";
            TraceFile trace;
            row.call();
            EXPECT_EQ(trace.text(), expected);
        }
    }
    unsetenv("TSW_STANDIN_TRACE_FORMAT");
}

TEST_F(StandinEngine, JsonTraceKeepsEveryByteExact) {
    // {T}: the calling thread's id; {U}: the time, checked below.
    const std::vector<TraceRow> rows = {
        {[] { return web_url("home", nullptr, "caf\xc3\xa9 \xf0\x9f\x98\x80\n\"\\\x01\x7f", "LAST"); },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_url","thread":{T},"args":["home",null,"caf)"
         "\xc3\xa9 \xf0\x9f\x98\x80"
         R"(\n\"\\\u0001\u007f","LAST"],"result":0})"},
        {[] { return web_get_int_property(-7); },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_get_int_property","thread":{T},"args":[-7],"result":0})"},
        {[] { return InitWebVuser(); },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"InitWebVuser","thread":{T},"args":[],"result":0})"},
        // Not UTF-8: Java's U+0000 and surrogate, overlong, past U+10FFFF, cut short.
        {[] { return web_set_user("\xc0\x80", "\xed\xa0\x80", "A\xe0\x80\x80"); },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_set_user","thread":{T},"args":[{"hex":"c080"},{"hex":"eda080"},{"hex":"41e08080"}],"result":0})"},
        {[] { return web_set_timeout("\xf4\x90\x80\x80", "\xc3"); },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_set_timeout","thread":{T},"args":[{"hex":"f4908080"},{"hex":"c3"}],"result":0})"},
        {[] {
             standin_set_result(-3);
             standin_set_list_cap(1);
             return web_url("a", "b", "LAST");
         },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_url","thread":{T},"args":["a"],"list":"capped","cap":1,"result":-3})"},
        {[] {
             standin_inject_failure(STANDIN_FAIL_THROW_INT);
             return catching([] { return web_add_cookie(""); });
         },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_add_cookie","thread":{T},"args":[""],"failure":"throw int"})"},
        {[] {
             standin_set_callback([](void*) { return -9; }, nullptr);
             standin_inject_failure(STANDIN_FAIL_CALL_BACK);
             return web_add_cookie("c");
         },
         R"({"v":1,"seq":1,"mono_us":{U},"entry":"web_add_cookie","thread":{T},"args":["c"],"result":-9,"called_back":true})"},
    };
    const std::string thread = std::to_string(standin_current_thread_id());
    setenv("TSW_STANDIN_TRACE_FORMAT", "json", 1);
    const std::regex time(R"("mono_us":([0-9]+))");
    for (const TraceRow& row : rows) {
        SCOPED_TRACE(row.line);
        std::string expected = row.line;
        expected.replace(expected.find("{T}"), 3, thread);
        const long long before = monotonic_us();
        TraceFile trace;
        row.call();
        const long long after = monotonic_us();
        const std::string text = trace.text();
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, time)) << text;
        EXPECT_GE(std::stoll(m[1]), before);
        EXPECT_LE(std::stoll(m[1]), after);
        EXPECT_EQ(std::regex_replace(text, time, R"("mono_us":{U})"), expected + "\n");
    }
    unsetenv("TSW_STANDIN_TRACE_FORMAT");
}

std::string unknown_format_message(const std::string& value) {
    return "standin engine: unknown trace format \"" + value +
           "\" in TSW_STANDIN_TRACE_FORMAT; the formats are text, text-tid, json (unset or empty: text); "
           "no trace is written\n";
}

// A misspelt format is an error, never another form: reported once on
// standard error until the value changes, and no line is written; the calls
// are still recorded.
TEST_F(StandinEngine, UnknownTraceFormatIsReportedAndNothingIsTraced) {
    struct ValueRow {
        const char* value;
        bool known;
    };
    const std::vector<ValueRow> rows = {
        {"text", true},  {"text-tid", true},     {"json", true},   {"JSON", false},  {"jsonl", false},
        {"Text", false}, {"text-thread", false}, {" json", false}, {"json ", false}, {"tid", false},
    };
    for (const ValueRow& row : rows) {
        SCOPED_TRACE(row.value);
        setenv("TSW_STANDIN_TRACE_FORMAT", row.value, 1);
        ::testing::internal::CaptureStderr();
        {
            TraceFile trace;  // resets: the format is read again
            standin_reset();  // the same value again: not reported twice
            EXPECT_EQ(web_add_cookie("c"), 0);
            EXPECT_EQ(standin_call_count(), 1);
            EXPECT_EQ(trace.text().empty(), !row.known) << trace.text();
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), row.known ? "" : unknown_format_message(row.value));
    }
    unsetenv("TSW_STANDIN_TRACE_FORMAT");
}

// The error comes when the engine is loaded, before any call: in a child,
// the other variant loaded anew with a misspelt format.
TEST(StandinEngineBuilds, UnknownTraceFormatIsReportedWhenTheEngineIsLoaded) {
    EXPECT_EXIT(
        {
            setenv("TSW_STANDIN_TRACE_FORMAT", "jsonl", 1);
            if (dlopen(STANDIN_NO_REVERT_PATH, RTLD_NOW | RTLD_LOCAL) == nullptr) std::_Exit(2);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0),
        "^standin engine: unknown trace format \"jsonl\" in TSW_STANDIN_TRACE_FORMAT; the formats are "
        "text, text-tid, json \\(unset or empty: text\\); no trace is written\n$");
}

TEST_F(StandinEngine, TraceDestinationComesFromTheEnvironmentAtReset) {
    struct DestinationRow {
        const char* value;  // nullptr: unset
        bool to_stderr;
    };
    const std::vector<DestinationRow> rows = {{nullptr, false}, {"", false}, {"stderr", true}, {"-", true}};
    for (const DestinationRow& row : rows) {
        SCOPED_TRACE(row.value ? row.value : "(unset)");
        if (row.value)
            setenv("TSW_STANDIN_TRACE", row.value, 1);
        else
            unsetenv("TSW_STANDIN_TRACE");
        standin_reset();
        ::testing::internal::CaptureStderr();
        web_remove_cookie("c");
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, row.to_stderr ? "web_remove_cookie(\"c\") = 0\n" : "");
    }
}

TEST_F(StandinEngine, TraceFileIsAppendedTo) {
    TraceFile trace;
    {
        std::ofstream before(trace.path(), std::ios::binary);
        before << "earlier line\n";
    }
    standin_reset();
    web_cache_cleanup();
    EXPECT_EQ(trace.text(), "earlier line\nweb_cache_cleanup() = 0\n");
}

TEST_F(StandinEngine, UnopenableTraceFileIsReportedAndCallsGoOn) {
    setenv("TSW_STANDIN_TRACE", "/nonexistent-directory/trace.txt", 1);
    ::testing::internal::CaptureStderr();
    standin_reset();
    EXPECT_EQ(InitWebVuser(), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("/nonexistent-directory/trace.txt"), std::string::npos) << err;
    EXPECT_EQ(standin_call_count(), 1);
}

// In each format: whole lines; in text-tid and json each names its thread,
// and json numbers its lines in the order written and stamps them with a
// time that never goes back.
TEST_F(StandinEngine, ThreadsRecordTheirOwnIdsAndTraceWholeLines) {
    struct FormatRow {
        const char* value;
        const char* line;  // groups: worker, then tid, seq and time where the line has them
    };
    const std::vector<FormatRow> formats = {
        {"text", R"re(web_url\("worker-([0-9])", "p{300}", LAST\) = 0)re"},
        {"text-tid", R"re(\[tid ([0-9]+)\] web_url\("worker-([0-9])", "p{300}", LAST\) = 0)re"},
        {"json", R"re(\{"v":1,"seq":([0-9]+),"mono_us":([0-9]+),"entry":"web_url","thread":([0-9]+),)re"
                 R"re("args":\["worker-([0-9])","p{300}","LAST"\],"result":0\})re"},
    };
    for (const FormatRow& format : formats) {
        SCOPED_TRACE(format.value);
        setenv("TSW_STANDIN_TRACE_FORMAT", format.value, 1);
        TraceFile trace;
        constexpr int thread_count = 6;
        constexpr int calls_per_thread = 200;
        const std::string payload(300, 'p');
        std::vector<long long> ids(thread_count);
        std::vector<std::thread> threads;
        for (int t = 0; t < thread_count; ++t) {
            threads.emplace_back([&, t] {
                const std::string name = "worker-" + std::to_string(t);
                pthread_setname_np(pthread_self(), name.c_str());
                ids[static_cast<std::size_t>(t)] = standin_current_thread_id();
                for (int i = 0; i < calls_per_thread; ++i) web_url(name.c_str(), payload.c_str(), "LAST");
            });
        }
        for (std::thread& th : threads) th.join();
        ASSERT_EQ(standin_call_count(), thread_count * calls_per_thread);
        std::map<long long, int> per_thread;
        for (int i = 0; i < thread_count * calls_per_thread; ++i) {
            const Call c = call_at(i);
            const int t = std::stoi(c.args.at(0).value().substr(7));
            EXPECT_EQ(c.thread_id, ids[static_cast<std::size_t>(t)]);
            EXPECT_EQ(c.thread_name, *c.args[0]);
            ++per_thread[c.thread_id];
        }
        EXPECT_EQ(per_thread.size(), static_cast<std::size_t>(thread_count));
        for (const auto& [id, count] : per_thread) EXPECT_EQ(count, calls_per_thread) << id;

        const std::string value = format.value;
        std::istringstream lines(trace.text());
        const std::regex whole(format.line);
        long long last_time = 0;
        int n = 0;
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
            ++n;
            if (value == "text-tid") {
                EXPECT_EQ(std::stoll(m[1]), ids.at(std::stoul(m[2]))) << line;
            } else if (value == "json") {
                EXPECT_EQ(std::stoll(m[1]), n) << line;
                EXPECT_GE(std::stoll(m[2]), last_time) << line;
                last_time = std::stoll(m[2]);
                EXPECT_EQ(std::stoll(m[3]), ids.at(std::stoul(m[4]))) << line;
            }
        }
        EXPECT_EQ(n, thread_count * calls_per_thread);
    }
    unsetenv("TSW_STANDIN_TRACE_FORMAT");
}

// ---- control accessors ----

TEST_F(StandinEngine, AccessorsRefuseIndicesOutOfRange) {
    web_url("a", "LAST");
    const char* bytes = "untouched";
    std::size_t length = 99;
    int value = 0;
    for (const int i : {-1, 1, 1000}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(standin_call_name(i), nullptr);
        EXPECT_EQ(standin_call_thread_id(i), -1);
        EXPECT_EQ(standin_call_thread_name(i), nullptr);
        EXPECT_EQ(standin_call_arg_count(i), -1);
        EXPECT_EQ(standin_call_arg(i, 0, &bytes, &length), -1);
        EXPECT_EQ(standin_call_int_arg(i, &value), -1);
        EXPECT_EQ(standin_call_result(i, &value), -1);
        EXPECT_EQ(standin_call_failure(i), -1);
        EXPECT_EQ(standin_call_list_status(i), -1);
    }
    EXPECT_EQ(standin_call_arg(0, 2, &bytes, &length), -1);
    EXPECT_EQ(standin_call_arg(0, -1, &bytes, &length), -1);
    EXPECT_STREQ(bytes, "untouched");
    EXPECT_EQ(standin_call_int_arg(0, &value), 0);
}

// ---- expected calls ----

int expect_call(const char* entry, const Args& args, int result) {
    std::vector<const char*> bytes;
    std::vector<std::size_t> lengths;
    for (const Arg& a : args) {
        bytes.push_back(a ? a->data() : nullptr);
        lengths.push_back(a ? a->size() : 0);
    }
    return standin_expect_call(entry, static_cast<int>(args.size()), bytes.data(), lengths.data(), result);
}

struct ExpectationRow {
    const char* what;
    const char* entry;
    Args args;
    int (*call)();
    bool matches;
};

TEST_F(StandinEngine, ExpectedCallIsCheckedAndReturnsItsResultOnce) {
    const std::vector<ExpectationRow> rows = {
        {"list", "web_url", {"a", null, "LAST"}, [] { return web_url("a", nullptr, "LAST"); }, true},
        {"fixed with a null", "web_set_timeout", {null, "5"}, [] { return web_set_timeout(nullptr, "5"); }, true},
        {"int in decimal", "web_get_int_property", {"-1"}, [] { return web_get_int_property(-1); }, true},
        {"no argument", "InitWebVuser", {}, [] { return InitWebVuser(); }, true},
        {"bytes past 0x7f",
         "web_add_cookie",
         {"\xc0\x80\xed\xa0\x80"},
         [] { return web_add_cookie("\xc0\x80\xed\xa0\x80"); },
         true},
        {"one argument short", "web_url", {"a", "b", "LAST"}, [] { return web_url("a", "LAST"); }, false},
        {"another entry", "web_link", {"a", "LAST"}, [] { return web_url("a", "LAST"); }, false},
        {"null for empty", "web_url", {"", "LAST"}, [] { return web_url(nullptr, "LAST"); }, false},
        {"one byte", "web_add_cookie", {"a\xff"}, [] { return web_add_cookie("a\xfe"); }, false},
        {"one argument more", "web_set_user", {"a", "b"}, [] { return web_set_user("a", "b", "c"); }, false},
        {"another int", "web_get_int_property", {"7"}, [] { return web_get_int_property(8); }, false},
    };
    for (const ExpectationRow& row : rows) {
        SCOPED_TRACE(row.what);
        const int before = standin_expectation_mismatches();
        ASSERT_EQ(expect_call(row.entry, row.args, 77), 0);
        EXPECT_EQ(row.call(), 77);
        EXPECT_EQ(standin_expectation_mismatches() - before, row.matches ? 0 : 1);
        EXPECT_EQ(row.call(), 0) << "one-shot";
        EXPECT_EQ(standin_expectation_mismatches() - before, row.matches ? 0 : 1);
    }
    const char* first = standin_first_mismatch();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(std::string(first).find(": expected web_url with 3 arguments, the engine received web_url with 2; "
                                      "argument 1 is \"LAST\" instead of \"b\""),
              std::string::npos)
        << first;
}

TEST_F(StandinEngine, ExpectedCallBelongsToItsThreadHoldsThroughFailuresAndIsClearedByReset) {
    const int before = standin_expectation_mismatches();
    ASSERT_EQ(expect_call("web_add_cookie", {"mine"}, 3), 0);
    int other = -1;
    std::thread([&] { other = web_add_cookie("theirs"); }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(web_add_cookie("mine"), 3);

    ASSERT_EQ(expect_call("web_add_cookie", {"mine"}, 3), 0);
    standin_inject_failure(STANDIN_FAIL_THROW_INT);
    EXPECT_THROW(web_add_cookie("mine"), int);
    ASSERT_EQ(expect_call("web_add_cookie", {"mine"}, 3), 0);
    standin_inject_failure(STANDIN_FAIL_THROW_INT);
    EXPECT_THROW(web_add_cookie("yours"), int);
    EXPECT_EQ(standin_expectation_mismatches() - before, 1) << "a failing call is checked too";

    ASSERT_EQ(expect_call("web_add_cookie", {"mine"}, 3), 0);
    standin_reset();
    EXPECT_EQ(web_add_cookie("yours"), 0);
    EXPECT_EQ(standin_expectation_mismatches() - before, 1) << "reset keeps the count";

    EXPECT_EQ(standin_expect_call(nullptr, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(standin_expect_call("InitWebVuser", -1, nullptr, nullptr, 0), -1);
    EXPECT_EQ(standin_expect_call("web_url", 1, nullptr, nullptr, 0), -1);
    EXPECT_EQ(InitWebVuser(), 0);
    EXPECT_EQ(standin_expectation_mismatches() - before, 1);
}

// ---- the two builds ----

TEST(StandinEngineBuilds, FullEngineIsFoundBySonameAndExportsEveryEntry) {
    void* engine = dlopen("libTswReplayMain.so", RTLD_NOLOAD | RTLD_LAZY);
    ASSERT_NE(engine, nullptr) << dlerror();
    for (const EntryRow& row : entry_rows()) EXPECT_NE(dlsym(engine, row.name), nullptr) << row.name;
    EXPECT_NE(dlsym(engine, "standin_reset"), nullptr);
    dlclose(engine);
}

TEST(StandinEngineBuilds, NoRevertVariantLacksOnlyRevertAutoHeader) {
    void* variant = dlopen(STANDIN_NO_REVERT_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(variant, nullptr) << dlerror();
    for (const EntryRow& row : entry_rows()) {
        const bool expected = std::string(row.name) != "web_revert_auto_header";
        EXPECT_EQ(dlsym(variant, row.name) != nullptr, expected) << row.name;
    }
    dlclose(variant);
}

}  // namespace
