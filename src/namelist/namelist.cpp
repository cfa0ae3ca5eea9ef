#include "namelist/namelist.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "run_end/abnormal_end.hpp"
#include "run_end/floating_point.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn {

namespace {

// Storage of the current line and of a real value's text, reused from read to
// read so that a long run of reads allocates only while the lines grow.
std::string line_text;
std::string number_text;

constexpr int error_integer_value = 1083;
constexpr int error_real_value = 1084;
constexpr int error_item = 1090;
constexpr int error_unknown_name = 1092;
constexpr int error_subscripts = 1093;
constexpr int error_subscript_bounds = 1097;
constexpr int error_too_many_values = 1099;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_char(char c) { return is_letter(c) || is_digit(c) || c == '_'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
// Characters that end a value; "&" and "$" end a group only where a new
// value or name would begin.
bool ends_value(char c) { return is_blank(c) || c == ',' || c == '/' || c == '!'; }
bool is_exponent_letter(char c) {
    char u = upper(c);
    return u == 'E' || u == 'D' || u == 'Q';
}

bool same_name(std::string_view text, std::string_view upper_name) {
    if (text.size() != upper_name.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != upper_name[i]) return false;
    return true;
}

// One read of one group.  All of its state lives in this object, which ends
// with the read however the read ends.
class GroupReader {
public:
    GroupReader(std::string_view group, std::span<const NamelistItem> items, const SourceLocation& where)
        : group_(group), items_(items), where_(where) {}

    void read() {
        open_group();
        while (read_item()) {
        }
    }

private:
    // --- Lines --------------------------------------------------------------
    bool next_line() {
        if (!read_config_line(line_text, where_)) return false;
        if (!line_text.empty() && line_text.back() == '\r') line_text.pop_back();
        line_ = line_text;
        pos_ = 0;
        return true;
    }
    bool at_line_end() const { return pos_ >= line_.size(); }
    char here() const { return line_[pos_]; }
    void skip_blanks() {
        while (!at_line_end() && is_blank(here())) ++pos_;
    }
    // Skips an optional sign; true for a minus.
    bool read_sign() {
        if (at_line_end() || (here() != '+' && here() != '-')) return false;
        return line_[pos_++] == '-';
    }
    // Appends the digits at the position to the number text; true when any.
    bool copy_digits() {
        std::size_t start = pos_;
        while (!at_line_end() && is_digit(here())) number_text += line_[pos_++];
        return pos_ > start;
    }

    // --- Reports ------------------------------------------------------------
    IoStatement read_statement() const { return {Statement::read, config_unit, config_file_name, where_}; }
    [[noreturn]] void end_of_file() const { abnormal_end_at_end_of_file(read_statement()); }
    [[noreturn]] void fail(int number, std::string_view text) const {
        abnormal_end_io(read_statement(), number, text);
    }
    [[noreturn]] void fail_at(int number, std::string_view text, std::size_t column) const {
        abnormal_end_in_input(read_statement(), number, text, line_, column);
    }
    [[noreturn]] void item_error() const { fail(error_item, "unexpected character in NAMELIST item"); }
    [[noreturn]] void value_error(const NamelistItem& item, std::size_t column) const {
        if (item.type == NamelistItem::Type::integer)
            fail_at(error_integer_value, "unexpected character in integer value", column);
        fail_at(error_real_value, "unexpected character in real value", column);
    }

    // --- Group and names ----------------------------------------------------
    // Skips lines up to the one that opens the group; stands after its name.
    void open_group() {
        for (;;) {
            if (!next_line()) end_of_file();
            skip_blanks();
            if (at_line_end() || (here() != '&' && here() != '$')) continue;
            std::size_t name_end = pos_ + 1 + group_.size();
            if (name_end > line_.size() || !same_name(line_.substr(pos_ + 1, group_.size()), group_)) continue;
            if (name_end < line_.size() && is_name_char(line_[name_end])) continue;
            pos_ = name_end;
            return;
        }
    }

    // Skips blanks, comments and line ends: a line end counts as a blank.
    // Stands at the next character of the group.
    void skip_separators() {
        for (;;) {
            skip_blanks();
            if (!at_line_end() && here() != '!') return;
            if (!next_line()) end_of_file();
        }
    }

    // Reads one item with its values.  Returns false at the end of the group.
    bool read_item() {
        skip_separators();
        while (here() == ',') {
            ++pos_;
            skip_separators();
        }
        const char c = here();
        if (c == '/' || c == '&' || c == '$') return false;
        if (!is_letter(c)) item_error();
        std::size_t start = pos_;
        while (!at_line_end() && is_name_char(here())) ++pos_;
        const NamelistItem* item = item_named(line_.substr(start, pos_ - start));
        if (item == nullptr) fail(error_unknown_name, "variable not in NAMELIST group");
        std::int32_t first = read_subscript(*item);
        skip_separators();
        if (here() != '=') item_error();
        ++pos_;
        return read_values(*item, first);
    }

    const NamelistItem* item_named(std::string_view name) const {
        for (const NamelistItem& item : items_)
            if (same_name(name, item.name)) return &item;
        return nullptr;
    }

    // The element an item's values start at: 1, or the subscript NAME(i).
    std::int32_t read_subscript(const NamelistItem& item) {
        skip_blanks();
        if (at_line_end() || here() != '(') return 1;
        if (item.extent == 1) item_error();
        ++pos_;
        skip_blanks();
        bool negative = read_sign();
        if (at_line_end() || !is_digit(here())) item_error();
        std::int64_t value = 0;
        while (!at_line_end() && is_digit(here())) {
            if (value <= item.extent) value = value * 10 + (here() - '0');
            ++pos_;
        }
        skip_blanks();
        if (!at_line_end() && here() == ',') fail(error_subscripts, "too many subscripts in NAMELIST object name");
        if (at_line_end() || here() != ')') item_error();
        ++pos_;
        if (negative || value < 1 || value > item.extent)
            fail(error_subscript_bounds, "subscript out of bounds in NAMELIST object name");
        return static_cast<std::int32_t>(value);
    }

    // Whether the name-like word at the position is the next item's name
    // rather than a value: followed by "(" or "=" on its line, or a name of
    // the group that ends its line (its "=" comes on a following line).
    bool next_is_name() const {
        std::size_t end = pos_;
        while (end < line_.size() && is_name_char(line_[end])) ++end;
        std::size_t p = end;
        while (p < line_.size() && is_blank(line_[p])) ++p;
        if (p < line_.size() && (line_[p] == '=' || line_[p] == '(')) return true;
        return (p == line_.size() || line_[p] == '!') && item_named(line_.substr(pos_, end - pos_)) != nullptr;
    }

    // --- Values -------------------------------------------------------------
    // Reads the values of an item from element `next` on.  Returns false when
    // the group ends after them.
    bool read_values(const NamelistItem& item, std::int32_t next) {
        bool any = false;
        bool after_comma = true;  // a comma before the first value is a null value
        for (;;) {
            skip_separators();
            char c = here();
            if (c == ',') {
                if (after_comma) value_error(item, pos_);
                after_comma = true;
                ++pos_;
                continue;
            }
            if (c == '/' || c == '&' || c == '$') {
                if (!any) value_error(item, pos_);
                return false;
            }
            if (any && is_letter(c) && next_is_name()) return true;
            next = read_value(item, next);
            any = true;
            after_comma = false;
        }
    }

    // Reads one value with its repeat count and stores it from element
    // `next` on; returns the element after the last one stored.
    std::int32_t read_value(const NamelistItem& item, std::int32_t next) {
        std::size_t start = pos_;
        std::int64_t repeat = 1;
        std::size_t p = pos_;
        while (p < line_.size() && is_digit(line_[p])) ++p;
        if (p > pos_ && p < line_.size() && line_[p] == '*') {
            repeat = 0;
            for (std::size_t i = pos_; i < p && repeat <= item.extent; ++i) repeat = repeat * 10 + (line_[i] - '0');
            if (repeat == 0) value_error(item, start);
            pos_ = p + 1;
            if (at_line_end() || ends_value(here())) value_error(item, pos_);
        }
        std::int32_t integer = 0;
        double real = 0.0;
        if (item.type == NamelistItem::Type::integer) integer = read_integer(item);
        else real = read_real(item);
        if (!at_line_end() && !ends_value(here())) value_error(item, pos_);
        if (next - 1 + repeat > item.extent)
            fail_at(error_too_many_values, "too many values for NAMELIST object", start);
        for (std::int64_t k = 0; k < repeat; ++k, ++next) {
            if (item.type == NamelistItem::Type::integer) static_cast<std::int32_t*>(item.first)[next - 1] = integer;
            else static_cast<double*>(item.first)[next - 1] = real;
        }
        return next;
    }

    // An optional sign and decimal digits in the 32-bit range.
    std::int32_t read_integer(const NamelistItem& item) {
        bool negative = read_sign();
        if (at_line_end() || !is_digit(here())) value_error(item, pos_);
        const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
        std::int64_t value = 0;
        while (!at_line_end() && is_digit(here())) {
            value = value * 10 + (here() - '0');
            if (value > limit) value_error(item, pos_);
            ++pos_;
        }
        return static_cast<std::int32_t>(negative ? -value : value);
    }

    double read_real(const NamelistItem& item) {
        bool negative = read_sign();
        if (!at_line_end() && is_letter(here())) return read_special_real(item, negative);
        number_text.clear();
        if (negative) number_text += '-';
        bool digits = copy_digits();
        if (!at_line_end() && here() == '.') {
            number_text += line_[pos_++];
            digits = copy_digits() || digits;
        }
        if (!digits) value_error(item, pos_);
        if (!at_line_end() && is_exponent_letter(here())) {
            ++pos_;
            number_text += 'e';
            if (read_sign()) number_text += '-';
            if (!copy_digits()) value_error(item, pos_);
        }
        // The text is a plain decimal number in the C locale (the program
        // never changes it); strtod rounds it correctly and gives an infinity
        // on overflow, the flags it raises are dropped with the quiet scope.
        QuietFloatingPoint quiet;
        return std::strtod(number_text.c_str(), nullptr);
    }

    // Inf, Infinity or NaN in any case, after the sign.
    double read_special_real(const NamelistItem& item, bool negative) {
        std::size_t start = pos_;
        while (!at_line_end() && is_name_char(here())) ++pos_;
        std::string_view word = line_.substr(start, pos_ - start);
        double value;
        if (same_name(word, "INF") || same_name(word, "INFINITY")) value = std::numeric_limits<double>::infinity();
        else if (same_name(word, "NAN")) value = std::numeric_limits<double>::quiet_NaN();
        else value_error(item, start + matching_length(word));
        return negative ? -value : value;
    }

    // The length of the longest start of `word` that also starts one of the
    // special words: the offending character of a misspelt one.
    static std::size_t matching_length(std::string_view word) {
        std::size_t best = 0;
        for (std::string_view special : {std::string_view("INFINITY"), std::string_view("NAN")}) {
            std::size_t n = 0;
            while (n < word.size() && n < special.size() && upper(word[n]) == special[n]) ++n;
            best = std::max(best, n);
        }
        return best;
    }

    std::string_view group_;
    std::span<const NamelistItem> items_;
    SourceLocation where_;
    std::string_view line_;
    std::size_t pos_ = 0;
};

}  // namespace

void read_namelist(std::string_view group, std::span<const NamelistItem> items, const SourceLocation& where) {
    GroupReader(group, items, where).read();
}

}  // namespace vorn
