// The layers of sandbox.h. Debian 12's kernel headers stop at Landlock's third version; the
// later rights and scopes are the kernel's numbers, written here, and asked for only where the
// running kernel says it has them.
#include "sandbox.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/securebits.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace scores {

namespace {

// Landlock, as the kernel defines it (include/uapi/linux/landlock.h).
constexpr std::uint64_t kExecute = 1 << 0, kWriteFile = 1 << 1, kReadFile = 1 << 2,
                        kReadDir = 1 << 3, kRemoveDir = 1 << 4, kRemoveFile = 1 << 5,
                        kMakeDir = 1 << 7, kMakeReg = 1 << 8, kRefer = 1 << 13, kTruncate = 1 << 14;
constexpr std::uint64_t kNetBindTcp = 1 << 0, kNetConnectTcp = 1 << 1;
constexpr std::uint64_t kScopeAbstractUnix = 1 << 0, kScopeSignal = 1 << 1;
constexpr std::uint32_t kCreateRulesetVersion = 1 << 0;
constexpr int kRulePathBeneath = 1;

struct RulesetAttr {
    std::uint64_t handledFs;
    std::uint64_t handledNet;  // ABI 4
    std::uint64_t scoped;      // ABI 6
};
struct __attribute__((packed)) PathBeneath {
    std::uint64_t allowed;
    std::int32_t parent;
};

// Every file-system right the kernel of `abi` knows: all are handled, so what no rule grants
// is refused.
std::uint64_t HandledFs(int abi) {
    std::uint64_t all = (1ull << 13) - 1;
    if (abi >= 2) all |= kRefer;
    if (abi >= 3) all |= kTruncate;
    if (abi >= 5) all |= 1ull << 15;  // ioctl on devices
    return all;
}

// Adds a rule for `path` (skipped when it does not exist); the rights a file may hold only,
// when it is not a folder.
bool AllowBeneath(int ruleset, const char* path, std::uint64_t access, int abi) {
    const int fd = open(path, O_PATH | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    struct stat info {};
    if (fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) {
        access &= kExecute | kWriteFile | kReadFile | kTruncate;
    }
    PathBeneath rule{access & HandledFs(abi), fd};
    const long added = syscall(SYS_landlock_add_rule, ruleset, kRulePathBeneath, &rule, 0);
    close(fd);
    return added == 0;
}

// Namespaces through a user namespace: the server's own uid and gid, mapped to themselves.
bool WriteProc(const char* file, const char* text) {
    const int fd = open(file, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const std::size_t size = std::strlen(text);
    const bool written = write(fd, text, size) == static_cast<ssize_t>(size);
    close(fd);
    return written;
}

// "N N 1\n" without the C library's formatting (async-signal-safe).
void IdentityMap(unsigned id, char* out) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + id % 10);
        id /= 10;
    } while (id > 0);
    char* at = out;
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = n - 1; i >= 0; --i) *at++ = digits[i];
        *at++ = ' ';
    }
    *at++ = '1';
    *at++ = '\n';
    *at = '\0';
}

constexpr int kNamespaces = CLONE_NEWNET | CLONE_NEWIPC | CLONE_NEWUTS;

bool EnterNamespaces(SandboxSupport::Namespaces kind) noexcept {
    switch (kind) {
        case SandboxSupport::Namespaces::None:
            return true;
        case SandboxSupport::Namespaces::Direct:
            return unshare(kNamespaces) == 0;
        case SandboxSupport::Namespaces::ThroughUser: {
            const uid_t uid = getuid();
            const gid_t gid = getgid();
            if (unshare(CLONE_NEWUSER | kNamespaces) != 0) return false;
            char map[48];
            if (!WriteProc("/proc/self/setgroups", "deny")) return false;
            IdentityMap(uid, map);
            if (!WriteProc("/proc/self/uid_map", map)) return false;
            IdentityMap(gid, map);
            return WriteProc("/proc/self/gid_map", map);
        }
    }
    return false;
}

// A server run as root keeps root's name, not its powers: no capability survives the exec.
// (A root without CAP_SETPCAP can drop neither: then its bounding set must be empty already.)
bool DropCapabilities() noexcept {
    if (geteuid() != 0) return true;
    bool left = false;
    for (int cap = 0; cap <= 63; ++cap) {
        if (prctl(PR_CAPBSET_READ, cap, 0, 0, 0) == 1 &&
            prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0) {
            left = true;
        }
    }
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    const bool noRoot = prctl(PR_SET_SECUREBITS,
                              SECBIT_NOROOT | SECBIT_NOROOT_LOCKED | SECBIT_NO_SETUID_FIXUP |
                                  SECBIT_NO_SETUID_FIXUP_LOCKED,
                              0, 0, 0) == 0;
    return noRoot || !left;
}

std::vector<sock_filter> MakeFilter() {
    std::vector<sock_filter> code;
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
    if (!ctx) return code;
    bool ok = true;
    const auto deny = [&](const char* name, int error) {
        const int number = seccomp_syscall_resolve_name(name);
        if (number == __NR_SCMP_ERROR) return;  // not on this architecture
        ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ERRNO(error), number, 0) == 0;
    };
    // No new processes: threads only (clone3's flags are out of the filter's reach, so it is
    // "not there", and the C library falls back to clone).
    const scmp_arg_cmp notAThread{0, SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0};  // SCMP_A0's
    ok = ok && seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(clone), 1, notAThread) == 0;
    deny("clone3", ENOSYS);
    // No network: no socket of any kind (a play talks to nobody).
    deny("socket", EACCES);
    for (const char* name : {"fork",
                             "vfork",
                             "ptrace",
                             "process_vm_readv",
                             "process_vm_writev",
                             "pidfd_getfd",
                             "mount",
                             "umount2",
                             "pivot_root",
                             "chroot",
                             "unshare",
                             "setns",
                             "move_mount",
                             "open_tree",
                             "fsopen",
                             "fsconfig",
                             "fsmount",
                             "fspick",
                             "mount_setattr",
                             "bpf",
                             "perf_event_open",
                             "keyctl",
                             "add_key",
                             "request_key",
                             "userfaultfd",
                             "io_uring_setup",
                             "io_uring_enter",
                             "io_uring_register",
                             "kexec_load",
                             "kexec_file_load",
                             "init_module",
                             "finit_module",
                             "delete_module",
                             "reboot",
                             "swapon",
                             "swapoff",
                             "acct",
                             "quotactl",
                             "open_by_handle_at",
                             "name_to_handle_at",
                             "sethostname",
                             "setdomainname",
                             "settimeofday",
                             "clock_settime",
                             "clock_adjtime",
                             "adjtimex",
                             "iopl",
                             "ioperm",
                             "kcmp",
                             "lookup_dcookie",
                             "fanotify_init",
                             "syslog",
                             "uselib",
                             "mknod",
                             "mknodat",
                             "vhangup"}) {
        deny(name, EPERM);
    }
    // libseccomp 2.5 exports to a descriptor only: through a memory file, read back.
    const int fd = memfd_create("tavlo-filter", MFD_CLOEXEC);
    if (ok && fd >= 0 && seccomp_export_bpf(ctx, fd) == 0) {
        const off_t size = lseek(fd, 0, SEEK_END);
        if (size > 0 && size % static_cast<off_t>(sizeof(sock_filter)) == 0) {
            code.resize(static_cast<std::size_t>(size) / sizeof(sock_filter));
            if (pread(fd, code.data(), static_cast<std::size_t>(size), 0) != size) code.clear();
        }
    }
    if (fd >= 0) close(fd);
    seccomp_release(ctx);
    return code;
}

SandboxSupport::Namespaces ProbeNamespaces() {
    // A child tries each way (unshare changes the caller for good).
    for (const auto kind :
         {SandboxSupport::Namespaces::Direct, SandboxSupport::Namespaces::ThroughUser}) {
        const pid_t pid = fork();
        if (pid == 0) _exit(EnterNamespaces(kind) ? 0 : 1);
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) break;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return kind;
    }
    return SandboxSupport::Namespaces::None;
}

}  // namespace

std::string SandboxSupport::Describe() const {
    std::string in = "limits, no_new_privs";
    std::string missing;
    const auto add = [](std::string& list, const std::string& layer) {
        list += (list.empty() ? "" : ", ") + layer;
    };
    if (namespaces == Namespaces::Direct) add(in, "namespaces (network, IPC, host name)");
    if (namespaces == Namespaces::ThroughUser) {
        add(in, "namespaces (user, network, IPC, host name)");
    }
    if (namespaces == Namespaces::None) {
        add(missing, "namespaces (unprivileged user namespaces are off: no network namespace)");
    }
    if (landlockAbi > 0) {
        add(in, "Landlock (ABI " + std::to_string(landlockAbi) + ")");
        if (landlockAbi < 4) add(missing, "Landlock's TCP rules (ABI 4)");
        if (landlockAbi < 6) add(missing, "Landlock's signal scope (ABI 6)");
    } else {
        add(missing, "Landlock (not in this kernel: plays may read and write what the server may)");
    }
    if (seccomp) {
        add(in, "the system-call filter");
    } else {
        add(missing,
            "the system-call filter (no seccomp: plays may start processes and open sockets)");
    }
    return "plays are confined by " + in + (missing.empty() ? "" : "; missing: " + missing);
}

const std::vector<sock_filter>& SyscallFilter() {
    static const std::vector<sock_filter> filter = MakeFilter();
    return filter;
}

const SandboxSupport& ProbeSandbox() {
    static const SandboxSupport support = [] {
        SandboxSupport s;
        const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRulesetVersion);
        s.landlockAbi = abi > 0 ? static_cast<int>(abi) : 0;
        s.seccomp = prctl(PR_GET_SECCOMP, 0, 0, 0, 0) >= 0 && !SyscallFilter().empty();
        s.namespaces = ProbeNamespaces();
        return s;
    }();
    return support;
}

Sandbox::Sandbox(const std::vector<std::string>& readable, const std::string& scratch,
                 SandboxLimits limits)
    : limits_(limits), support_(ProbeSandbox()) {
    if (!(limits.layers & kLayerNamespaces)) support_.namespaces = SandboxSupport::Namespaces::None;
    if (!(limits.layers & kLayerLandlock)) support_.landlockAbi = 0;
    if (!(limits.layers & kLayerFilter)) support_.seccomp = false;
    const int abi = support_.landlockAbi;
    if (abi == 0) return;
    RulesetAttr attr{HandledFs(abi), abi >= 4 ? kNetBindTcp | kNetConnectTcp : 0,
                     abi >= 6 ? kScopeAbstractUnix | kScopeSignal : 0};
    const std::size_t size = abi >= 6 ? sizeof attr : abi >= 4 ? 16 : 8;
    ruleset_ = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, size, 0));
    if (ruleset_ < 0) {
        ready_ = false;
        return;
    }
    const std::uint64_t read = kReadFile | kReadDir;
    const std::uint64_t libraries = read | kExecute;
    // The dynamic loader and the libraries, where Debian keeps them.
    for (const char* system : {"/usr", "/lib", "/lib64", "/lib32", "/libx32", "/etc/ld.so.cache",
                               "/etc/ld.so.preload"}) {
        ready_ = ready_ && AllowBeneath(ruleset_, system, libraries, abi);
    }
    ready_ = ready_ && AllowBeneath(ruleset_, "/dev/null", kReadFile | kWriteFile, abi);
    for (const std::string& file : readable) {
        ready_ = ready_ && AllowBeneath(ruleset_, file.c_str(), libraries, abi);
    }
    const std::uint64_t write = kWriteFile | kRemoveDir | kRemoveFile | kMakeDir | kMakeReg |
                                (abi >= 2 ? kRefer : 0) | (abi >= 3 ? kTruncate : 0);
    ready_ = ready_ && AllowBeneath(ruleset_, scratch.c_str(), read | write, abi);
    // Its own /proc entry (a sanitizer's runtime reads its maps there): the child's, added in
    // the child.
    procAccess_ = read;
}

Sandbox::~Sandbox() {
    if (ruleset_ >= 0) close(ruleset_);
}

bool Sandbox::Enter(pid_t parent) const noexcept {
    // The ruleset moves to descriptor 3; nothing else of the server's stays open.
    if (ruleset_ >= 0 && dup2(ruleset_, 3) != 3) return false;
    if (close_range(ruleset_ >= 0 ? 4 : 3, ~0U, 0) != 0) {
        for (int fd = ruleset_ >= 0 ? 4 : 3; fd < 4096; ++fd) close(fd);
    }
    if (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0 || getppid() != parent) return false;

    // SIGXCPU at the limit, SIGKILL a second later for a play that ignores it: with both at the
    // same value the kernel's SIGKILL comes first, and the play reads as a crash, not as time.
    const rlimit cpu{static_cast<rlim_t>(limits_.cpuSeconds),
                     static_cast<rlim_t>(limits_.cpuSeconds) + 1};
    const rlim_t bytes = static_cast<rlim_t>(limits_.memoryMiB) * 1024 * 1024;
    const rlimit memory{bytes, bytes};
    const rlimit none{0, 0};
    const rlimit fileSize{limits_.fileBytes, limits_.fileBytes};
    const rlimit files{static_cast<rlim_t>(limits_.openFiles),
                       static_cast<rlim_t>(limits_.openFiles)};
    if (setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_CORE, &none) != 0 ||
        setrlimit(RLIMIT_NPROC, &none) != 0 || setrlimit(RLIMIT_FSIZE, &fileSize) != 0 ||
        setrlimit(RLIMIT_NOFILE, &files) != 0 ||
        (limits_.memoryMiB > 0 && setrlimit(RLIMIT_AS, &memory) != 0)) {
        return false;
    }
    if (!EnterNamespaces(support_.namespaces) || !DropCapabilities()) return false;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    if (ruleset_ >= 0) {
        if (!AllowBeneath(3, "/proc/self", procAccess_, support_.landlockAbi)) return false;
        if (syscall(SYS_landlock_restrict_self, 3, 0) != 0) return false;
        close(3);
    }
    if (support_.seccomp) {
        const std::vector<sock_filter>& code = SyscallFilter();
        sock_fprog program{static_cast<unsigned short>(code.size()),
                           const_cast<sock_filter*>(code.data())};
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) != 0) return false;
    }
    return true;
}

}  // namespace scores
