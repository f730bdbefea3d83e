// Start-up cost of the language source: scanning the built Kistora.languages
// archive (every language file is extracted to the temporary folder and its
// header read) and loading one language into the text table; and the reader
// alone on a language file's text.
#include "settings/settings.h"

#include "platform/platform.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

static std::string ArchivePath()
{
    return std::string(KISTORA_GAME_DIR) + "/Kistora.languages";
}

static void ScanArchive(benchmark::State& State)
{
    if (FileSize(ArchivePath()) <= 0) {
        State.SkipWithError("Kistora.languages is not built");
        return;
    }
    for (auto _ : State)
        benchmark::DoNotOptimize(ScanLanguages(ArchivePath()));
    State.counters["Languages"] = double(LanguageList.size());
}
BENCHMARK(ScanArchive)->Unit(benchmark::kMillisecond);

static void LoadFromArchive(benchmark::State& State)
{
    if (FileSize(ArchivePath()) <= 0) {
        State.SkipWithError("Kistora.languages is not built");
        return;
    }
    for (auto _ : State) {
        if (!LoadLanguage(ArchivePath(), "en_GB"))
            State.SkipWithError("en_GB did not load");
    }
    State.counters["Keys"] = double(TextTable.size());
}
BENCHMARK(LoadFromArchive)->Unit(benchmark::kMillisecond);

// A language file of 60 groups of 20 keys, parsed and walked as LoadLanguage does.
static void ParseLanguageText(benchmark::State& State)
{
    std::string Text = "[LANGUAGE FILE]\r\ntLangFileNAME = Bench\r\n";
    for (int Group = 0; Group < 60; Group++) {
        Text += "[Group " + std::to_string(Group) + "]\r\n; comment line\r\n";
        for (int Key = 0; Key < 20; Key++)
            Text += "tKey" + std::to_string(Group) + "_" + std::to_string(Key) + " =   a text of some words  \r\n";
    }
    for (auto _ : State) {
        Document Doc;
        ParseDocument(Doc, Text);
        size_t Keys = 0;
        for (int Group = FirstGroup(Doc); Group; Group = NextGroup(Doc))
            for (int Key = FirstKey(Doc); Key; Key = NextKey(Doc))
                Keys += CurrentKeyValue(Doc).size();
        benchmark::DoNotOptimize(Keys);
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Text.size()));
}
BENCHMARK(ParseLanguageText);

BENCHMARK_MAIN();
