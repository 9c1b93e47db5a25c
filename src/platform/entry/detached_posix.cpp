// A detached program on Linux: posix_spawn, in a session of its own, so that the terminal the
// game was started from closing does not end it.
#include "detached.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace entry {

bool StartDetached(const std::vector<std::string>& arguments, const std::string& log) {
    if (arguments.empty()) return false;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&files) != 0) return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&files);
        return false;
    }
    bool ok = posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0) == 0 &&
              posix_spawn_file_actions_addopen(&files, 1, log.c_str(),
                                               O_WRONLY | O_CREAT | O_APPEND, 0644) == 0 &&
              posix_spawn_file_actions_adddup2(&files, 1, 2) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Whatever this process has open without close-on-exec (SDL's, a library's) stays here.
    ok = ok && posix_spawn_file_actions_addclosefrom_np(&files, 3) == 0;
#endif
    // The game's own signal handling (a recording stops on SIGINT) is not the child's.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
    ok = ok && posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
         posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
         posix_spawnattr_setflags(&attributes, flags) == 0;
    pid_t child = 0;
    ok = ok && posix_spawn(&child, argv[0], &files, &attributes, argv.data(), environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return ok;
}

}  // namespace entry
