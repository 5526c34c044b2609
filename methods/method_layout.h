// How a method's layout ("S S A LAST") and Java parameter list ("String name,
// String[] attributes") are read. The table's compile-time checks,
// jweb-check's texts and the tests all walk them with this one reader, so
// none of them can read a layout differently from the others.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string_view>

namespace jweb::method_layout {

// What one layout word makes of its Java argument; see methods/method_table.h.
enum class Kind { string, integer, elements, elements_or_null, body, marker, unknown };

struct KindWord {
    std::string_view word;
    Kind kind;
    std::string_view java_type;  // empty for a marker: it has no Java argument
};

inline constexpr std::array<KindWord, 8> kind_words = {{
    {"S", Kind::string, "String"},
    {"I", Kind::integer, "int"},
    {"A", Kind::elements, "String[]"},
    {"A0", Kind::elements_or_null, "String[]"},
    {"B", Kind::body, "byte[]"},
    {"LAST", Kind::marker, ""},
    {"ENDFORM", Kind::marker, ""},
    {"ITEMDATA", Kind::marker, ""},
}};

constexpr Kind kind_of(std::string_view word) {
    for (const KindWord& k : kind_words)
        if (k.word == word) return k.kind;
    return Kind::unknown;
}

constexpr std::string_view java_type_of(Kind kind) {
    for (const KindWord& k : kind_words)
        if (k.kind == kind) return k.java_type;
    return "";
}

// The non-empty words of `text` between `separator`s, spaces around them
// dropped, each handed out as a Word made from its string_view.
template <class Word = std::string_view>
class Words {
public:
    constexpr Words(std::string_view text, char separator) : text_(text), separator_(separator) {}

    class iterator {
    public:
        using value_type = Word;
        using difference_type = std::ptrdiff_t;

        constexpr iterator() = default;
        constexpr iterator(std::string_view rest, char separator) : rest_(rest), separator_(separator) { advance(); }
        constexpr Word operator*() const { return Word(word_); }
        constexpr iterator& operator++() {
            advance();
            return *this;
        }
        constexpr iterator operator++(int) {
            iterator before = *this;
            advance();
            return before;
        }
        constexpr bool operator==(std::default_sentinel_t) const { return word_.empty(); }

    private:
        static constexpr std::string_view trimmed(std::string_view s) {
            while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
            while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
            return s;
        }
        constexpr void advance() {
            word_ = {};
            while (word_.empty() && !rest_.empty()) {
                const std::size_t cut = rest_.find(separator_);
                word_ = trimmed(rest_.substr(0, cut));
                rest_ = cut == std::string_view::npos ? std::string_view() : rest_.substr(cut + 1);
            }
        }

        std::string_view rest_;
        std::string_view word_;
        char separator_ = ' ';
    };

    constexpr iterator begin() const { return {text_, separator_}; }
    constexpr std::default_sentinel_t end() const { return {}; }

private:
    std::string_view text_;
    char separator_;
};

// One word of a layout and what it stands for.
struct Token {
    std::string_view word;
    Kind kind;

    constexpr explicit Token(std::string_view w) : word(w), kind(kind_of(w)) {}
    constexpr bool is_marker() const { return kind == Kind::marker; }
    constexpr bool is_elements() const { return kind == Kind::elements || kind == Kind::elements_or_null; }
    constexpr std::string_view java_type() const { return java_type_of(kind); }
};

// One declared Java parameter, "String[] attributes"; its name is empty when
// the declaration has none.
struct Parameter {
    std::string_view type;
    std::string_view name;

    constexpr explicit Parameter(std::string_view declared) {
        const std::size_t space = declared.rfind(' ');
        type = declared.substr(0, space);
        if (space != std::string_view::npos) name = declared.substr(space + 1);
    }
};

constexpr Words<Token> tokens(std::string_view layout) { return {layout, ' '}; }
constexpr Words<Parameter> parameters(std::string_view java_parameters) { return {java_parameters, ','}; }

constexpr bool contains(std::string_view layout, std::initializer_list<Kind> kinds) {
    for (const Token token : tokens(layout))
        for (const Kind kind : kinds)
            if (token.kind == kind) return true;
    return false;
}

}  // namespace jweb::method_layout
