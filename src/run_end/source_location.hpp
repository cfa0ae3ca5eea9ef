// Source positions for the run-time reports: the file, line and column of the
// statement or array access that an abnormal end names.
//
// SourceLocation::current() used as a default argument gives the position of
// the caller.  It is std::source_location where the standard library provides
// it, and otherwise (clang with an older standard library, used for the
// fuzzing build) a class of the same shape built on the compiler builtins.
#pragma once

#if defined(__clang__) && !__has_builtin(__builtin_source_location)

namespace vorn {

class SourceLocation {
public:
    static constexpr SourceLocation current(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE(),
                                            unsigned column = __builtin_COLUMN()) noexcept {
        SourceLocation where;
        where.file_ = file;
        where.line_ = line;
        where.column_ = column;
        return where;
    }
    constexpr const char* file_name() const noexcept { return file_; }
    constexpr unsigned line() const noexcept { return line_; }
    constexpr unsigned column() const noexcept { return column_; }

private:
    const char* file_ = "";
    unsigned line_ = 0;
    unsigned column_ = 0;
};

}  // namespace vorn

#else

#include <source_location>

namespace vorn {
using SourceLocation = std::source_location;
}  // namespace vorn

#endif
