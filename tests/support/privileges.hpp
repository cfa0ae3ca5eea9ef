// What a test needs of the system that not every user has, how a forked
// child gets it, and how a test that cannot have it says so.
//
// - Mount and PID namespaces (a bind-mounted file, a read-only folder, a
//   small disk, a run as process 1): the child enters new ones; a user who is
//   not root first enters a user namespace of its own, mapped to root there,
//   as rootless containers do.
// - A second real user (an older snapshot of another owner, another user's
//   sticky folder): only root has one.  Whatever that user runs or writes
//   lies in a SharedScratch folder under the system's temporary folder, which
//   every user may enter, whatever the path of the checkout.
// - A process that file modes and process limits hold: root leaves root for
//   other_user; any other user is one already.
//
// A test without what it needs is skipped with a line that names it, unless
// VORN_TESTS_REQUIRE_PRIVILEGES is set in the environment (as CI sets it,
// running as root): there the missing privilege fails the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vorn::test {

// The second and third users of the tests that run as root.
inline constexpr uid_t other_user = 65534;
inline constexpr uid_t third_user = 65533;

// "" when the process is root, else "needs root: <what>".
std::string needs_root(std::string_view what);

// "" when a forked child may enter new mount and PID namespaces, else the
// setting that refuses them.
std::string needs_namespaces();

// In a forked child: new mount and PID namespaces (the PID namespace takes
// the child's next child as its process 1), entered as root of a user
// namespace where the process is not root; mounts made there stay private.
// False when the system refuses.
bool enter_namespaces();

// In a forked child: runs `work` as process 1 of new namespaces (in a child
// of its own) and exits with its exit status; 92 where the system refuses
// the namespaces, 93 where a signal ended process 1.
[[noreturn]] void exit_as_process_one(const std::function<void()>& work);

// In a forked child: becomes `user` (group `user` too, no other groups).
// False when the system refuses.
bool become_user(uid_t user);

// In a forked child: root becomes other_user, whom file modes and process
// limits hold; any other user stays.  False when the system refuses.
bool leave_root();

// Whether a test may skip for want of a privilege.
bool privileges_required();

// A folder of its own under the system's temporary folder that every user
// may enter (mode 0777, sticky when asked), removed with what it holds.
class SharedScratch {
public:
    explicit SharedScratch(bool sticky = false);
    ~SharedScratch();
    SharedScratch(const SharedScratch&) = delete;
    SharedScratch& operator=(const SharedScratch&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace vorn::test

// Skips the test, naming what it needs (needs_root, needs_namespaces), or
// fails it where privileges are required.
#define VORN_SKIP_UNLESS(missing)                                                         \
    if (const std::string vorn_missing = (missing); !vorn_missing.empty()) {              \
        if (::vorn::test::privileges_required()) FAIL() << vorn_missing;                  \
        GTEST_SKIP() << vorn_missing;                                                     \
    }
