// Throughput of the "1zlb" decoder (MB/s of output) on the reference streams,
// and size and speed of our compressor at its fastest and strongest levels.
#include "display/display.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packwriter.h"

static std::vector<uint8_t> ReadTestFile(const std::string& Name)
{
    std::ifstream File(std::string(KISTORA_TESTDATA_DIR) + "/brieflz/" + Name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

static void Decode(benchmark::State& State, const char* StreamName, const char* RawName)
{
    std::vector<uint8_t> Stream = ReadTestFile(StreamName);
    std::vector<uint8_t> Raw = ReadTestFile(RawName);
    std::vector<uint8_t> Out(Raw.size());
    for (auto _ : State) {
        int64_t Total = BlzUnpackStream(Stream.data(), Stream.size(), Out.data(), Out.size());
        benchmark::DoNotOptimize(Total);
        if (Total != int64_t(Raw.size()))
            State.SkipWithError("stream did not decode");
    }
    if (Out != Raw)
        State.SkipWithError("decoded bytes differ from the raw data");
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Raw.size()));
}

// Compressed size in percent of the input, header included, as counter "Percent".
static void Encode(benchmark::State& State, const char* RawName, int Level)
{
    std::vector<uint8_t> Raw = ReadTestFile(RawName);
    size_t Size = 0;
    for (auto _ : State) {
        std::vector<uint8_t> Stream = BlzPackStream(Raw.data(), Raw.size(), Level, 262144);
        Size = Stream.size();
        benchmark::DoNotOptimize(Stream.data());
    }
    State.counters["Percent"] = Raw.empty() ? 0.0 : 100.0 * double(Size) / double(Raw.size());
    State.counters["Bytes"] = double(Size);
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Raw.size()));
}

BENCHMARK_CAPTURE(Decode, mixed_3m_l1, "mixed_3m_l1.1zlb", "mixed_3m.raw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, english_700k_l1, "english_700k_l1.1zlb", "english_700k.raw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, english_700k_l10, "english_700k_l10.1zlb", "english_700k.raw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, random_1m_l1, "random_1m_l1.1zlb", "random_1m.raw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, mixed_3m_fast, "mixed_3m.raw", 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, english_700k_fast, "english_700k.raw", 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, mixed_3m_strongest, "mixed_3m.raw", 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, english_700k_strongest, "english_700k.raw", 10)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
