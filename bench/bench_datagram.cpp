// Building the heartbeat datagram from the send code box's text, and the
// text the box is rewritten with after each send.
#include <benchmark/benchmark.h>

#include "heartbeat/datagram.h"

static void BM_BuildHeartbeat(benchmark::State& state) {
    const std::string code = state.range(0) ? "ZANTOHB\r\n" : "ABC";
    for (auto _ : state) {
        vhb::HeartbeatDatagram d = vhb::buildHeartbeat(code);
        benchmark::DoNotOptimize(d);
        std::string text = vhb::heartbeatText(d);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_BuildHeartbeat)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
