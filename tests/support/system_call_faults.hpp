// A system call that fails, for work in a forked child that meets a kernel or
// a file system refusing it: a seccomp filter that answers the call with an
// error.  The filter holds for the rest of the process and for the programs
// it starts.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vorn::test {

#if defined(__x86_64__)
inline constexpr std::uint32_t host_audit_arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr std::uint32_t host_audit_arch = AUDIT_ARCH_AARCH64;
#else
#error "no seccomp architecture for this host"
#endif

// The call behind renameat(): renameat2 where the host has no renameat call.
#ifdef SYS_renameat
inline constexpr long rename_system_call = SYS_renameat;
#else
inline constexpr long rename_system_call = SYS_renameat2;
#endif

// The system call `number` fails with `error` from now on; with `flag_bits`,
// only where its third argument (the flags of openat) holds all of them.
// Returns false when the filter could not be set.
inline bool refuse_system_call(long number, int error, std::uint32_t flag_bits = 0) {
    // The low word of the third argument, whatever the byte order.
    constexpr std::uint32_t third_argument =
        offsetof(seccomp_data, args) + 2 * sizeof(std::uint64_t) + (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 4 : 0);
    const std::uint32_t refused = SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA);
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, host_audit_arch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(number), 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, third_argument),
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, flag_bits),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, flag_bits, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, refused),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

// A file system that makes no file without a name: opening with O_TMPFILE
// fails with `error` (EOPNOTSUPP, or EISDIR or EINVAL on older kernels).
inline bool refuse_unnamed_files(int error) { return refuse_system_call(SYS_openat, error, O_TMPFILE); }

}  // namespace vorn::test
