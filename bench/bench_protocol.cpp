// Throughput of the protocol layer: status reports decoded and frames built per second. The
// console handles one report a second per unit; these figures say how far that is from a limit.

#include <array>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>

#include "protocol/codes.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

namespace {

using namespace kestavo::protocol;

constexpr std::string_view kPassword = "Secret9876";

// A report with every field in use; the revision decides how much of the tail is read.
std::string statusReport(std::uint8_t r1, std::uint8_t r2, std::uint8_t r3)
{
    std::string r(kStatusSnmpLength, '\0');
    const auto put = [&r](std::size_t position, std::initializer_list<int> values) {
        for (const int v : values)
            r[position++ - 1] = static_cast<char>(v);
    };
    put(15, {0, 10, 27, 44, 61, 78});
    put(21, {0x08, 0x00, 0x0F, 0xFF, 0x00, 0x01, 0x00, 0x0F, 0x01, 0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x00, 0x20});
    put(37, {0, 1, 0, 1, 1, 192, 168, 1, 20});
    put(62, {0, 1, 0, 1, r1, r2, r3, 3, 129, 5, 10, 60, 64, 226, 1, 0});
    r.replace(77, 20, "  Pumphouse         ");
    put(98, {0x01, 0x5F, 0xCD, 1, 0x60});
    put(118, {1, 0x40, 0x60, 30, 29, 1, 255, 0, 0, 255, 0, 0, 0x41, 0, 0, 0x80, 0, 0, 12, 1});
    return r;
}

void BM_DecodeStatus(benchmark::State& state, std::string report)
{
    for (auto _ : state) {
        auto decoded = decodeStatus(report);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_DecodeStatus, revision_171, statusReport(1, 7, 1));
BENCHMARK_CAPTURE(BM_DecodeStatus, revision_166, statusReport(1, 6, 6).substr(0, kStatusBaseLength));

void BM_Classify(benchmark::State& state)
{
    const std::string report = statusReport(1, 7, 1);
    for (auto _ : state) {
        auto c = classify(report);
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Classify);

void BM_DecodeSlotTable(benchmark::State& state)
{
    std::string reply(kSlotTableLength, ' ');
    reply[kKindPosition - 1] = static_cast<char>(kKindSlotTable);
    for (auto _ : state) {
        auto table = decodeSlotTable(reply);
        benchmark::DoNotOptimize(table);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeSlotTable);

void BM_PollFrame(benchmark::State& state)
{
    for (auto _ : state) {
        std::string frame = pollFrame(kPassword);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PollFrame);

void BM_ScriptUploadFrame(benchmark::State& state)
{
    const std::string codes = codeFieldFor({"Relay 1 ON", "Wait 2 Seconds", "Relay 1 OFF", "Relay 3 ON"});
    for (auto _ : state) {
        std::string frame = scriptUploadFrame(slotCode(8), codes, "Night lights", kPassword);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScriptUploadFrame);

void BM_BoardUploadFrame(benchmark::State& state)
{
    const std::array<std::uint8_t, 16> codes =
        boardCodesFor({"RDB2 Light OFF", "Wait 3 Seconds", "RDB2 Light ON"});
    for (auto _ : state) {
        std::string frame = boardUploadFrame(boardSlotCode(3), "Porch", codes, kPassword);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BoardUploadFrame);

// The step-list lookups the board upload runs before building its frame.
void BM_BoardCodesFor(benchmark::State& state)
{
    const std::vector<std::string> lines(16, "RDB6 Light OFF");
    for (auto _ : state) {
        auto codes = boardCodesFor(lines);
        benchmark::DoNotOptimize(codes);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BoardCodesFor);

} // namespace

BENCHMARK_MAIN();
