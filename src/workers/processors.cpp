#include "workers/processors.hpp"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "units/descriptors.hpp"
#include "units/units.hpp"

namespace vorn {

namespace {

// A quota file or /proc/self/cgroup holds a few short lines; far more is no
// such file.
constexpr std::size_t max_group_file_size = std::size_t{64} << 10;
// The mount table of a machine of many containers runs long.
constexpr std::size_t max_mount_table_size = std::size_t{1} << 20;

// The whole text of a regular file of at most `max_size` bytes; empty when it
// cannot be read, is longer or is no regular file (a FIFO would block the
// run, a device such as /dev/zero never ends).  /proc and cgroup files tell
// no size, so the bound is kept while reading.
std::string file_text(const std::string& path, std::size_t max_size) {
    std::string text;
    const int fd = open_descriptor(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return text;
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        char block[4096];
        ssize_t n;
        // One byte past the bound tells a longer file.
        while ((n = ::read(fd, block, std::min(sizeof block, max_size + 1 - text.size()))) > 0 &&
               text.size() + static_cast<std::size_t>(n) <= max_size)
            text.append(block, static_cast<std::size_t>(n));
        if (n != 0) text.clear();
    }
    ::close(fd);
    return text;
}

// The words of a text, split at blanks and line ends.
std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> found;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find_first_of(" \n", start), text.size());
        if (end > start) found.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return found;
}

// Calls line(text) for each line of a text.
template <class Line>
void for_each_line(std::string_view text, const Line& line) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        line(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

bool in_list(std::string_view list, std::string_view item) {
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        if (list.substr(start, end - start) == item) return true;
        start = end + 1;
    }
    return false;
}

// The number that the whole of `word` spells in `base`; none for a word that
// is no number or too large for a Number.
template <class Number>
std::optional<Number> parsed(std::string_view word, int base = 10) {
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (error == std::errc() && end == word.data() + word.size()) return value;
    return std::nullopt;
}

// 0, no quota, for a word that is no number or too large for one.
long long number(std::string_view word) { return parsed<long long>(word).value_or(0); }

// The path that a field of the mount table stands for: the kernel writes a
// blank, tab, line end or backslash in it as \ and the byte's three octal
// digits.
std::string unescaped(std::string_view field) {
    std::string path;
    for (std::size_t at = 0; at < field.size(); ++at) {
        const std::string_view digits = field.substr(at + 1, 3);
        const std::optional<unsigned char> byte =
            field[at] == '\\' && digits.size() == 3 ? parsed<unsigned char>(digits, 8) : std::nullopt;
        if (byte) {
            path += static_cast<char>(*byte);
            at += digits.size();
        } else {
            path += field[at];
        }
    }
    return path;
}

// A quota of `quota` microseconds per `period` as processors, rounded up; 0
// for no quota (-1 or "max").
int quota_processors(long long quota, long long period) {
    if (quota <= 0 || period <= 0) return 0;
    // Rounded up without quota + period - 1, which overflows near the top.
    const long long processors = quota / period + (quota % period != 0);
    return static_cast<int>(std::min<long long>(processors, std::numeric_limits<int>::max()));
}

// The tighter of two limits, 0 being none.
int tighter(int limit, int other) { return limit == 0 ? other : other == 0 ? limit : std::min(limit, other); }

int cpu_max_limit(const std::string& group) {
    const std::string text = file_text(group + "/cpu.max", max_group_file_size);
    const std::vector<std::string_view> quota_period = words(text);
    return quota_period.size() == 2 ? quota_processors(number(quota_period[0]), number(quota_period[1])) : 0;
}

int cfs_quota_limit(const std::string& group) {
    const std::string quota = file_text(group + "/cpu.cfs_quota_us", max_group_file_size);
    const std::string period = file_text(group + "/cpu.cfs_period_us", max_group_file_size);
    const std::vector<std::string_view> quota_words = words(quota);
    const std::vector<std::string_view> period_words = words(period);
    if (quota_words.size() != 1 || period_words.size() != 1) return 0;
    return quota_processors(number(quota_words[0]), number(period_words[0]));
}

// The process's group in the hierarchy of `controller` ("" for cgroup v2),
// from the lines "hierarchy:controllers:path" of /proc/self/cgroup.
std::string_view own_group(std::string_view own_groups, std::string_view controller) {
    std::string_view path;
    for_each_line(own_groups, [&](std::string_view line) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos) return;
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const bool wanted = controller.empty() ? line.substr(0, first) == "0" && controllers.empty()
                                               : in_list(controllers, controller);
        if (wanted) path = line.substr(second + 1);
    });
    return path;
}

// The tightest limit of the groups from `path` up to the hierarchy's root,
// the hierarchy's group `root` being mounted at `mount_point`.
int limit_along(std::string_view mount_point, std::string_view root, std::string_view path,
                int (*limit)(const std::string& group)) {
    // The path below the mount's root; a group outside it (another
    // namespace's view) is taken as the mount's root group.
    std::string_view below = path;
    if (root != "/")
        below = path.starts_with(root) && (path.size() == root.size() || path[root.size()] == '/')
                    ? path.substr(root.size())
                    : std::string_view();
    std::string group(mount_point);
    if (below != "/") group += below;
    int tightest = 0;
    for (;;) {
        tightest = tighter(tightest, limit(group));
        if (group.size() <= mount_point.size()) return tightest;
        group.resize(group.rfind('/'));
    }
}

}  // namespace

int cgroup_cpu_limit(std::string_view own_groups, std::string_view mounts) {
    int tightest = 0;
    // Lines "id parent device root mount-point options [optional...] - type source super-options".
    for_each_line(mounts, [&](std::string_view line) {
        const std::vector<std::string_view> fields = words(line);
        const auto separator = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || fields.end() - separator < 4) return;
        const std::string_view type = separator[1];
        const std::string root = unescaped(fields[3]);
        const std::string mount_point = unescaped(fields[4]);
        if (type == "cgroup2") {
            const std::string_view path = own_group(own_groups, "");
            if (!path.empty()) tightest = tighter(tightest, limit_along(mount_point, root, path, cpu_max_limit));
        } else if (type == "cgroup" && in_list(separator[3], "cpu")) {
            const std::string_view path = own_group(own_groups, "cpu");
            if (!path.empty()) tightest = tighter(tightest, limit_along(mount_point, root, path, cfs_quota_limit));
        }
    });
    return tightest;
}

int usable_processors() {
    cpu_set_t allowed;
    // A machine of more processors than a cpu_set_t holds keeps its count.
    int processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                         ? CPU_COUNT(&allowed)
                         : static_cast<int>(std::thread::hardware_concurrency());
    const int quota = cgroup_cpu_limit(file_text("/proc/self/cgroup", max_group_file_size),
                                       file_text("/proc/self/mountinfo", max_mount_table_size));
    if (quota > 0) processors = std::min(processors, quota);
    return std::max(processors, 1);
}

}  // namespace vorn
