/* A stand-in for the game program that tries to get out of its box: it connects to the loopback
   port and writes the file named in its replay's comments ("# port N", "# outside PATH"), and
   forks. It reports as --verify does, its "score" the sum of what got through: 1 the
   connection, 2 the file, 4 the new process. Without a port it only writes its reaction lines
   ("# reactions TEXT", "# reactions-bytes N" more, or "# reactions-link PATH" in their place). */
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* replay = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--version") == 0) {
            puts("tavlo 1.0.0");
            return 0;
        }
        if (strcmp(argv[i], "--replay") == 0 && i + 1 < argc) replay = argv[i + 1];
    }
    FILE* file = replay ? fopen(replay, "r") : NULL;
    if (!file) return 1;
    int port = 0;
    char outside[4096] = "";
    char line[4200];
    char reactions[4096] = "";
    char link[4096] = "";
    long large = 0;
    while (fgets(line, sizeof line, file)) {
        if (sscanf(line, "# port %d", &port) == 1) continue;
        if (sscanf(line, "# outside %4095s", outside) == 1) continue;
        if (sscanf(line, "# reactions-link %4095s", link) == 1) continue;
        if (sscanf(line, "# reactions-bytes %ld", &large) == 1) continue;
        if (sscanf(line, "# reactions %4095[^\n]", reactions) == 1) continue;
    }
    fclose(file);

    /* Its reaction lines, as the game writes them where the server says, or not. */
    const char* where = getenv("TAVLO_REACTIONS");
    if (where && *link && symlink(link, where) != 0) return 1;
    if (where && (*reactions || large > 0)) {
        FILE* out = fopen(where, "w");
        if (!out) return 1;
        fputs(reactions, out);
        fputc('\n', out);
        for (long i = 0; i < large; ++i) fputc('x', out);
        fclose(out);
    }
    if (port == 0) {
        puts("round 1: score 0, best 0");
        return 0;
    }

    int got = 0;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {0};
    address.sin_family = AF_INET;
    address.sin_port = htons((unsigned short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, (struct sockaddr*)&address, sizeof address) == 0) got |= 1;
    const int out = open(outside, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0 && write(out, "out\n", 4) == 4) got |= 2;
    const pid_t child = fork();
    if (child == 0) _exit(0);
    if (child > 0) {
        waitpid(child, NULL, 0);
        got |= 4;
    }
    printf("round 1: score %d, best %d\n", got, got);
    return 0;
}
