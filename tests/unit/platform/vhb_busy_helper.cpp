// A stand-in for a watched application: "busy N" keeps N threads spinning,
// "sleep" waits without using the processor, "exec FILE MODE" waits for
// SIGUSR1 and then runs FILE MODE in its place. Runs until killed.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::atomic<unsigned long> spins{0};

[[noreturn]] void spin() {
    for (;;)
        spins.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "exec") == 0) {
        sigset_t usr1;
        sigemptyset(&usr1);
        sigaddset(&usr1, SIGUSR1);
        sigprocmask(SIG_BLOCK, &usr1, nullptr);
        int sig = 0;
        sigwait(&usr1, &sig);
        execl(argv[2], argv[2], argv[3], static_cast<char*>(nullptr));
        return 127;
    }
    if (argc >= 2 && std::strcmp(argv[1], "busy") == 0) {
        const int threads = argc >= 3 ? std::atoi(argv[2]) : 1;
        std::vector<std::thread> extra;
        for (int i = 1; i < threads; ++i)
            extra.emplace_back(spin);
        spin();
    }
    for (;;)
        pause();
}
