// The smallest sender of the same heartbeat, for comparison in the footprint
// check: one socket, one datagram per period, nothing else. With a third
// argument "stat" it also reads its own /proc stat line once per period
// through a descriptor kept open, the least an application watch can do.
// With "rebind" it makes the program's two socket re-bindings per beat the
// plainest way, system calls only: the floor of that duty.
//   vhb-min-sender PORT COUNT [stat|rebind]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const int stat = argc > 3 && std::strcmp(argv[3], "stat") == 0
                         ? open("/proc/self/stat", O_RDONLY | O_CLOEXEC)
                         : -1;
    const bool rebind = argc > 3 && std::strcmp(argv[3], "rebind") == 0;
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    int second = rebind ? socket(AF_INET, SOCK_DGRAM, 0) : -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t localSize = sizeof local;
    bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &localSize);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const unsigned char beat[9] = {'Z', 'A', 'N', 'T', 'O', 'H', 'B', '\r', '\n'};
    char line[1024];
    long sum = 0;
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < count; ++i) {
        next.tv_sec += 1;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        if (stat >= 0)
            sum += pread(stat, line, sizeof line, 0);
        if (rebind) {
            close(s);
            s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
        }
        sendto(s, beat, sizeof beat, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (rebind) {
            close(second);
            second = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            bind(second, reinterpret_cast<sockaddr*>(&any), sizeof any);
        }
    }
    close(s);
    if (second >= 0)
        close(second);
    return sum < 0 ? 1 : 0;
}
