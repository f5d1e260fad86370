// SPDX-License-Identifier: GPL-3.0-or-later
// Load for the latency benchmark: P processes that each hold F open files (sockets and
// /dev/null), sleeping until the parent is killed.
//   latenza-zavorra P F
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int processi = std::atoi(argv[1]);
    const int file = std::atoi(argv[2]);
    for (int p = 0; p < processi; ++p) {
        const pid_t figlio = ::fork();
        if (figlio < 0) return 1;
        if (figlio == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (int f = 0; f < file; ++f) {
                if (f % 2 == 0) {
                    ::socket(AF_INET, SOCK_DGRAM, 0);
                } else {
                    ::open("/dev/null", O_RDONLY);
                }
            }
            for (;;) ::pause();
        }
    }
    std::printf("pronto\n");
    std::fflush(stdout);
    for (;;) ::pause();
}
