// What each hostile file costs: every case runs in a child process of its
// own, and the child's peak resident memory above that of an idle child,
// and its wall time, are printed. Run it from the build folder:
//   build/bench-hostile
//   build/bench-hostile --write-maps PATH    (the 10,000-level archive only)
// The outcomes themselves are checked by tests/unit/test_reliability.cpp.
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "platform/platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../tests/unit/hostile_inputs.h"

namespace {

struct Case {
    const char* Name;
    std::function<void()> Prepare; // in the parent: files on disk
    std::function<int()> Run;      // in the child: the reader; its outcome
};

void WriteBytes(const std::string& Path, const void* Data, size_t Size)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(static_cast<const char*>(Data), std::streamsize(Size));
}

// Runs Body in a child; returns its peak RSS in KiB and its wall time in ms.
void Measure(const std::function<int()>& Body, long* PeakKiB, double* Ms, int* Outcome)
{
    auto Start = std::chrono::steady_clock::now();
    pid_t Child = fork();
    if (Child == 0)
        _exit(Body() & 0xFF);
    int Status = 0;
    rusage Usage{};
    wait4(Child, &Status, 0, &Usage);
    *Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
    *PeakKiB = Usage.ru_maxrss;
    *Outcome = WIFEXITED(Status) ? WEXITSTATUS(Status) : -WTERMSIG(Status);
}

} // namespace

int main(int ArgCount, char** Args)
{
    // --write-maps PATH: only write the level archive whose index claims
    // 10,000 levels and tiles (every map and tile present), to try it on the
    // whole game.
    if (ArgCount == 3 && std::string(Args[1]) == "--write-maps") {
        std::vector<uint8_t> Bytes = hostile::MakeClaimingLevelArchive(10000, 10000, 10000, 10000);
        WriteBytes(Args[2], Bytes.data(), Bytes.size());
        return 0;
    }
    char Template[] = "/tmp/kistora-hostile-XXXXXX";
    if (mkdtemp(Template) == nullptr)
        return 1;
    const std::string Dir = std::string(Template) + "/";
    const std::string Zip = std::string(KISTORA_TESTDATA_DIR) + "/hostile/language_bomb_1gib.zip";

    std::vector<Case> Cases = {
        {"index: 10,000 levels and 10,000 tiles",
         [&] {
             std::vector<uint8_t> Bytes = hostile::MakeClaimingLevelArchive(10000, 10000, 10000, 10000);
             WriteBytes(Dir + "claims.maps", Bytes.data(), Bytes.size());
         },
         [&] {
             LoadLevelArchive(Dir + "claims.maps");
             return int(levelOrder.size());
         }},
        {"map over every limit",
         [&] {
             std::vector<uint8_t> Bytes = hostile::MakeArchiveWithMap(hostile::MakeMapOverEveryLimit());
             WriteBytes(Dir + "map.maps", Bytes.data(), Bytes.size());
         },
         [&] {
             LoadLevelArchive(Dir + "map.maps");
             return int(ParseNumber(GetLevelProperty("01", 2)));
         }},
        {"pack entry claiming 4 GiB",
         [&] {
             std::vector<uint8_t> Bytes = hostile::MakePackClaiming4GiB();
             WriteBytes(Dir + "claims.data", Bytes.data(), Bytes.size());
         },
         [&] {
             int Archive = OpenArchive(Dir + "claims.data");
             std::vector<uint8_t> Buffer(15728640);
             int64_t Got = ExtractEntry(Archive, "music1.ogg", Buffer.data(), Buffer.size());
             Got += ExtractEntry(Archive, "music2.ogg", Buffer.data(), Buffer.size());
             CloseArchive(Archive);
             return int(Got);
         }},
        {"PNG claiming 65535 x 65535",
         [&] {
             std::vector<uint8_t> Bytes = hostile::MakePng(65535, 65535, 0);
             WriteBytes(Dir + "huge.png", Bytes.data(), Bytes.size());
         },
         [&] {
             std::vector<uint8_t> Bytes;
             ReadWholeFile(Dir + "huge.png", Bytes);
             return LoadImagePng(Bytes.data(), Bytes.size());
         }},
        {"PNG claiming 3500 x 3500 (within the limit)",
         [&] {
             std::vector<uint8_t> Bytes = hostile::MakePng(3500, 3500, 0);
             WriteBytes(Dir + "large.png", Bytes.data(), Bytes.size());
         },
         [&] {
             std::vector<uint8_t> Bytes;
             ReadWholeFile(Dir + "large.png", Bytes);
             return LoadImagePng(Bytes.data(), Bytes.size());
         }},
        {"language file of 50 MB with a 1 MB line",
         [&] {
             std::string Text = hostile::MakeHugeLanguage(50000000, 1000000);
             mkdir((Dir + "lang").c_str(), 0755);
             WriteBytes(Dir + "lang/hu_GE.language", Text.data(), Text.size());
         },
         [&] {
             int Found = ScanLanguages(Dir + "lang");
             return Found * 10 + LoadLanguage(Dir + "lang", "hu_GE");
         }},
        {"language zip entry inflating to 1 GiB", [&] {},
         [&] {
             setenv("TMPDIR", Dir.c_str(), 1);
             int Found = ScanLanguages(Zip);
             return Found * 10 + LoadLanguage(Zip, "xx_XX");
         }},
        {"scores file of 1,000,000 lines",
         [&] {
             std::string Text = hostile::MakeLongScores(1000000);
             mkdir((Dir + "scores").c_str(), 0755);
             WriteBytes(Dir + "scores/Kistora.scores", Text.data(), Text.size());
         },
         [&] {
             ProgressList.assign(60, LevelProgress());
             return LoadScores(Dir + "scores/");
         }},
        {"preferences file of 10 MB",
         [&] {
             std::string Text = hostile::MakeHugePreferences(10000000);
             mkdir((Dir + "prefs").c_str(), 0755);
             WriteBytes(Dir + "prefs/Kistora.prefs", Text.data(), Text.size());
         },
         [&] { return LoadPreferences(Dir + "prefs/"); }},
    };

    long IdleKiB = 0;
    double IdleMs = 0;
    int Ignored = 0;
    Measure([] { return 0; }, &IdleKiB, &IdleMs, &Ignored);
    std::printf("%-46s %8s %10s %s\n", "hostile input", "ms", "MiB above", "outcome");
    std::printf("%-46s %8.1f %10.1f (idle child: %.1f MiB)\n", "nothing", IdleMs, 0.0, IdleKiB / 1024.0);
    for (const Case& C : Cases) {
        // The files are made in a child too, so that this process stays as
        // small as it was for the idle child.
        long PrepareKiB = 0;
        double PrepareMs = 0;
        Measure(
            [&C] {
                C.Prepare();
                return 0;
            },
            &PrepareKiB, &PrepareMs, &Ignored);
        long PeakKiB = 0;
        double Ms = 0;
        int Outcome = 0;
        Measure(C.Run, &PeakKiB, &Ms, &Outcome);
        std::printf("%-46s %8.1f %10.1f %d\n", C.Name, Ms, (PeakKiB - IdleKiB) / 1024.0, Outcome);
    }
    std::string Remove = "rm -rf '" + std::string(Template) + "'";
    return std::system(Remove.c_str()) == 0 ? 0 : 1;
}
