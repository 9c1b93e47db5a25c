// The box each play runs in (docs/scores.md, "Confinement"). Layers, each standing on its own,
// entered in this order by the play's process between fork and exec:
//   limits       PR_SET_PDEATHSIG, rlimits (CPU, address space, processes, file size, open
//                files, no core), no capabilities (a server run as root drops them all)
//   namespaces   a network namespace of its own (nothing but an unconfigured loopback) and
//                IPC and host name apart; through a user namespace where the server is not root
//   Landlock     reads only the system's libraries, the program, the archive and /dev/null;
//                reads and writes only beneath its scratch folder; no TCP; no signals to or
//                abstract sockets of processes outside
//   no_new_privs and a system-call filter (libseccomp): no new processes (threads only), no
//                sockets, no ptrace, mounts, namespaces, kernel keys, BPF, io_uring, ...
// A layer the kernel lacks is left out (said once in the log at start); the others still hold.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct sock_filter;

namespace scores {

// The layers a box enters: all of them, but in the tests that check each on its own.
enum SandboxLayer : unsigned {
    kLayerNamespaces = 1,
    kLayerLandlock = 2,
    kLayerFilter = 4,
    kAllLayers = 7,
};

struct SandboxLimits {
    unsigned layers = kAllLayers;
    int cpuSeconds = 20;                    // RLIMIT_CPU (soft; SIGKILL a second later)
    int memoryMiB = 512;                    // RLIMIT_AS; 0 for none
    std::uint64_t fileBytes = 64ull << 20;  // RLIMIT_FSIZE: the largest file a play may write
    int openFiles = 64;                     // RLIMIT_NOFILE
};

// What the kernel offers, probed once (the first call, before the server starts its threads).
struct SandboxSupport {
    enum class Namespaces { None, Direct, ThroughUser };
    Namespaces namespaces = Namespaces::None;
    int landlockAbi = 0;  // 0: no Landlock
    bool seccomp = false;
    // One line for the log: the layers in force and those missing.
    std::string Describe() const;
};
const SandboxSupport& ProbeSandbox();

// One play's box, made in the server (it allocates) before the fork; Enter then runs in the
// child and makes only async-signal-safe calls.
class Sandbox {
  public:
    // `readable` are files the play may read besides the system's libraries (the program and
    // the archive); `scratch` the folder it may write in.
    Sandbox(const std::vector<std::string>& readable, const std::string& scratch,
            SandboxLimits limits);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // False when a layer that the kernel offers could not be made here (nothing is run then).
    bool Ready() const { return ready_; }

    // In the child after fork: every layer, in order. False when one fails: the child must not
    // exec then. `parent` is the server's pid (a play whose server has gone ends at once).
    bool Enter(pid_t parent) const noexcept;

  private:
    SandboxLimits limits_;
    SandboxSupport support_;
    int ruleset_ = -1;  // Landlock's, without the child's own /proc entry (added in Enter)
    std::uint64_t procAccess_ = 0;
    bool ready_ = true;
};

// The system-call filter as BPF, made once with libseccomp; empty where it cannot be made.
const std::vector<sock_filter>& SyscallFilter();

}  // namespace scores
