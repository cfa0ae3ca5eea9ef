#include "support/privileges.hpp"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.hpp"

namespace vorn::test {

namespace fs = std::filesystem;

namespace {

bool write_setting(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

// Enters a user namespace in which this process's user and group are root.
bool enter_user_namespace() {
    const uid_t user = geteuid();
    const gid_t group = getegid();
    return unshare(CLONE_NEWUSER) == 0 && write_setting("/proc/self/setgroups", "deny") &&
           write_setting("/proc/self/uid_map", "0 " + std::to_string(user) + " 1") &&
           write_setting("/proc/self/gid_map", "0 " + std::to_string(group) + " 1");
}

// The setting that switches user namespaces off for users who are not root
// where one does, else all that may.
std::string refusing_setting() {
    for (const std::string setting : {"user.max_user_namespaces=0", "kernel.unprivileged_userns_clone=0",
                                      "kernel.apparmor_restrict_unprivileged_userns=1"}) {
        std::string file = "/proc/sys/" + setting.substr(0, setting.find('=')), value;
        std::replace(file.begin(), file.end(), '.', '/');
        if (std::ifstream(file) >> value && setting.ends_with("=" + value)) return setting;
    }
    return "user.max_user_namespaces, kernel.unprivileged_userns_clone, kernel.apparmor_restrict_unprivileged_userns";
}

}  // namespace

std::string needs_root(std::string_view what) {
    return geteuid() == 0 ? std::string() : "needs root: " + std::string(what);
}

std::string needs_namespaces() {
    static const std::string missing = [] {
        const pid_t child = fork();
        if (child == 0) _exit(enter_namespaces() ? 0 : 1);
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::string();
        if (geteuid() == 0) return std::string("needs mount and PID namespaces: the system refuses them to root");
        return "needs user namespaces: the system refuses them (" + refusing_setting() + ")";
    }();
    return missing;
}

bool enter_namespaces() {
    if (geteuid() != 0 && !enter_user_namespace()) return false;
    return unshare(CLONE_NEWNS | CLONE_NEWPID) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

void exit_as_process_one(const std::function<void()>& work) {
    if (!enter_namespaces()) _exit(92);
    const pid_t first = fork();
    if (first == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    waitpid(first, &status, 0);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 93);
}

bool become_user(uid_t user) { return setgroups(0, nullptr) == 0 && setgid(user) == 0 && setuid(user) == 0; }

bool leave_root() { return geteuid() != 0 || become_user(other_user); }

bool privileges_required() { return std::getenv("VORN_TESTS_REQUIRE_PRIVILEGES") != nullptr; }

SharedScratch::SharedScratch(bool sticky) {
    std::string pattern = (fs::temp_directory_path() / "vorn-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder in " + pattern);
    path_ = pattern;
    fs::permissions(path_, sticky ? fs::perms::all | fs::perms::sticky_bit : fs::perms::all);
}

SharedScratch::~SharedScratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace vorn::test
