// The smallest sender of the same heartbeat, for comparison in the footprint
// check: one socket, one datagram per period, nothing else.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const unsigned char beat[9] = {'Z', 'A', 'N', 'T', 'O', 'H', 'B', '\r', '\n'};
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < count; ++i) {
        next.tv_sec += 1;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        sendto(s, beat, sizeof beat, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(s);
    return 0;
}
