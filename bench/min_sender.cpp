// The smallest sender of the same heartbeat, for comparison in the footprint
// check: one socket, one datagram per period, nothing else. With a third
// argument "stat" it also reads its own /proc stat line once per period
// through a descriptor kept open, the least an application watch can do.
//   vhb-min-sender PORT COUNT [stat]
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
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
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
        sendto(s, beat, sizeof beat, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(s);
    return sum < 0 ? 1 : 0;
}
