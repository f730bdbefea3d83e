// kistora-import COLLECTION... -o DIR [--title TEXT] [--prove SECONDS] [--require-proof]
//                [--from N] [--game FILE] [--data DIR]
//
// Turns level collections in the genre's common text notation (.xsb, .sok, .txt)
// into a portable Kistora folder DIR: run DIR/kistora to play them, with their
// titles, from the first level; settings and progress stay inside DIR.
// Levels Kistora cannot play are listed with their number, title and the reason.
// Exit status: 0 when DIR was written, 1 when there was no level to write or the
// folder could not be made (DIR is then not there), 2 for bad arguments.
#include "levels/levels.h"
#include "settings/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "import.h"

// A folder holds no more levels than the game reads from one archive.
static_assert(PackMaxLevels == MaxLevels);

namespace {

constexpr double DefaultProofSeconds = 10; // --require-proof without --prove
constexpr int ListedSkips = 200;           // reasons printed before the rest is only counted

struct Options {
    std::vector<std::string> Collections;
    std::string Out, Title, Game, Data;
    double ProveSeconds = 0; // 0: no proofs
    int RequireProof = 0;
    int From = 1; // the first level taken, counted over all collections from 1
};

// The run's tally.
struct Tally {
    int Seen = 0;   // levels found so far, over all collections
    int Listed = 0; // skip lines printed
    int Skipped = 0;
    int Beyond = 0;      // levels after the folder was full
    int FirstBeyond = 0; // the number (over all collections) of the first of them
    int Failed = 0;      // a proof could not run
    std::string Error;
};

} // namespace

static int Usage(const char* Problem);
static int ParseOptions(int Count, char** Args, Options& Taken);
static std::string Named(const CollectionLevel& Level);
static void NameUntitledLevels(const std::string& Name, const std::string& Path, std::vector<ImportedLevel>& Levels,
                               size_t First);
static void TakeLevel(const Options& Taken, FolderPlan& Plan, const std::string& Source, CollectionLevel& Level,
                      std::vector<ImportedLevel>& Levels, Tally& Count);

int main(int Count, char** Args)
{
    Options Taken;
    if (!ParseOptions(Count, Args, Taken))
        return 2;
    CatchInterrupts();
    FolderPlan Plan;
    Plan.OutFolder = Taken.Out;
    // The user's locale as the game reads it ("de_DE" from LC_ALL, LC_MESSAGES or LANG).
    Plan.LocaleName = DefaultLocale(0);
    std::string Error;
    if (!FindGameFiles(Taken.Game, Taken.Data, Plan, Error)) {
        std::fprintf(stderr, "kistora-import: %s\n", Error.c_str());
        return 1;
    }
    for (const std::string& Path : Taken.Collections) {
        if (std::FILE* File = std::fopen(Path.c_str(), "rb")) {
            std::fclose(File);
        } else {
            std::fprintf(stderr, "kistora-import: %s: cannot be opened: %s\n", Path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    if (!BeginPortableFolder(Plan, Error)) {
        std::fprintf(stderr, "kistora-import: %s\n", Error.c_str());
        return 1;
    }

    std::vector<ImportedLevel> Levels;
    Tally Counts;
    for (const std::string& Path : Taken.Collections) {
        std::printf("%s\n", Path.c_str());
        std::fflush(stdout);
        int Found = 0;
        size_t KeptBefore = Levels.size();
        auto Take = [&](CollectionLevel& Level) { TakeLevel(Taken, Plan, Path, Level, Levels, Counts); };
        std::string CollectionTitle;
        if (!ReadCollectionFile(Path, Take, Found, Error, &CollectionTitle)) {
            std::fprintf(stderr, "kistora-import: %s: %s\n", Path.c_str(), Error.c_str());
            AbandonPortableFolder(Plan);
            return 1;
        }
        NameUntitledLevels(Taken.Title.empty() ? CollectionTitle : Taken.Title, Path, Levels, KeptBefore);
        if (ImportInterrupted() || Counts.Failed)
            break;
        if (Found == 0)
            std::printf("  no levels found\n");
        else
            std::printf("  %d %s, %zu taken\n", Found, Found == 1 ? "level" : "levels", Levels.size() - KeptBefore);
    }
    if (ImportInterrupted() || Counts.Failed) {
        std::fprintf(stderr, "kistora-import: %s; %s was not written\n",
                     ImportInterrupted() ? "interrupted" : Counts.Error.c_str(), Plan.OutFolder.c_str());
        AbandonPortableFolder(Plan);
        return ImportInterrupted() ? 130 : 1;
    }
    if (Counts.Listed < Counts.Skipped)
        std::printf("  ... and %d more levels skipped\n", Counts.Skipped - Counts.Listed);
    if (Counts.Beyond)
        std::printf(
            "%d more %s from level %d on not taken: a folder holds at most %d levels; import them with --from %d\n",
            Counts.Beyond, Counts.Beyond == 1 ? "level" : "levels", Counts.FirstBeyond, PackMaxLevels,
            Counts.FirstBeyond);
    if (Levels.empty()) {
        std::fprintf(stderr, "kistora-import: no level left to import; %s was not written\n", Plan.OutFolder.c_str());
        AbandonPortableFolder(Plan);
        return 1;
    }
    if (!FinishPortableFolder(Plan, Levels, Error)) {
        std::fprintf(stderr, "kistora-import: %s; %s was not written\n", Error.c_str(), Plan.OutFolder.c_str());
        return ImportInterrupted() ? 130 : 1;
    }
    std::printf("%zu %s in %s; play them with %s/kistora\n", Levels.size(), Levels.size() == 1 ? "level" : "levels",
                Plan.OutFolder.c_str(), Plan.OutFolder.c_str());
    return 0;
}

// One level from a collection: skipped before --from, counted once the folder is full,
// else checked, proved when asked, and kept.
static void TakeLevel(const Options& Taken, FolderPlan& Plan, const std::string& Source, CollectionLevel& Level,
                      std::vector<ImportedLevel>& Levels, Tally& Count)
{
    Count.Seen++;
    if (ImportInterrupted() || Count.Failed || Count.Seen < Taken.From)
        return;
    if ((int)Levels.size() >= PackMaxLevels) {
        if (!Count.Beyond++)
            Count.FirstBeyond = Count.Seen;
        return;
    }
    auto Skip = [&](const std::string& Reason) {
        Count.Skipped++;
        if (Count.Listed >= ListedSkips)
            return;
        Count.Listed++;
        std::printf("  %s: skipped: %s\n", Named(Level).c_str(), Reason.c_str());
    };
    ImportedLevel Kept;
    std::vector<std::string> Notes;
    std::string Reason;
    if (!NormaliseLevel(Level, Kept.Level, Reason)) {
        Skip(Reason);
        return;
    }
    if (Taken.ProveSeconds > 0) {
        std::string Verdict, Error;
        int Pushes = 0;
        if (!ProveLevel(Plan, Kept.Level, Taken.ProveSeconds, Verdict, Pushes, Error)) {
            Count.Failed = 1;
            Count.Error = Error;
            return;
        }
        if (Verdict != "solved" && Taken.RequireProof) {
            Skip(Verdict == "unsolved" ? "it has no solution" : "the solver gave up on it (not proven)");
            return;
        }
        if (Verdict == "solved")
            Notes.push_back("solved in " + std::to_string(Pushes) + (Pushes == 1 ? " push" : " pushes"));
        else if (Verdict == "unsolved")
            Notes.push_back("unsolved: it has no solution (taken all the same)");
        else
            Notes.push_back("the solver gave up (taken all the same)");
    }
    if (Kept.Level.Rotated)
        Notes.push_back("turned a quarter to fit the field");
    for (size_t K = 0; K < Notes.size(); K++)
        std::printf("%s%s", K ? "; " : ("  " + Named(Level) + ": ").c_str(), Notes[K].c_str());
    if (!Notes.empty())
        std::printf("\n");
    std::fflush(stdout);
    Kept.Source = Source;
    Kept.Number = Level.Number;
    Kept.Title = Level.Title;
    Levels.push_back(std::move(Kept));
}

// A level the collection names only by its number is called after the
// collection (--title, else its title line, else its file name) with that
// number: "Harbour 3", never a second "Level 3" under the card's own number.
static void NameUntitledLevels(const std::string& Name, const std::string& Path, std::vector<ImportedLevel>& Levels,
                               size_t First)
{
    std::string Collection = Name;
    if (Collection.empty()) {
        size_t Slash = Path.find_last_of('/');
        Collection = Path.substr(Slash == std::string::npos ? 0 : Slash + 1);
        size_t Dot = Collection.find_last_of('.');
        if (Dot != std::string::npos && Dot > 0)
            Collection.erase(Dot);
    }
    for (size_t K = First; K < Levels.size(); K++) {
        if (Levels[K].Title.empty())
            Levels[K].Title = CleanTitle(Collection + " " + std::to_string(Levels[K].Number));
    }
}

static std::string Named(const CollectionLevel& Level)
{
    std::string Text = "level " + std::to_string(Level.Number);
    if (!Level.Title.empty())
        Text += " \"" + Level.Title + "\"";
    return Text;
}

static int ParseOptions(int Count, char** Args, Options& Taken)
{
    for (int I = 1; I < Count; I++) {
        std::string Arg = Args[I];
        auto Value = [&](std::string& Into) {
            if (I + 1 >= Count)
                return 0;
            Into = Args[++I];
            return 1;
        };
        std::string Text;
        if (Arg == "-h" || Arg == "--help") {
            Usage(nullptr);
            std::exit(0);
        } else if (Arg == "-o" || Arg == "--out") {
            if (!Value(Taken.Out))
                return Usage("-o needs a folder");
        } else if (Arg == "--title") {
            if (!Value(Taken.Title))
                return Usage("--title needs a text");
        } else if (Arg == "--game") {
            if (!Value(Taken.Game))
                return Usage("--game needs the game's executable");
        } else if (Arg == "--data") {
            if (!Value(Taken.Data))
                return Usage("--data needs a folder");
        } else if (Arg == "--prove") {
            char* End = nullptr;
            if (!Value(Text))
                return Usage("--prove needs a number of seconds");
            Taken.ProveSeconds = std::strtod(Text.c_str(), &End);
            if (End == Text.c_str() || *End || !(Taken.ProveSeconds > 0 && Taken.ProveSeconds <= 86400))
                return Usage("--prove needs a number of seconds above 0");
        } else if (Arg == "--require-proof") {
            Taken.RequireProof = 1;
        } else if (Arg == "--from") {
            char* End = nullptr;
            if (!Value(Text))
                return Usage("--from needs a level number");
            long From = std::strtol(Text.c_str(), &End, 10);
            if (End == Text.c_str() || *End || From < 1 || From > 100000000)
                return Usage("--from needs a level number from 1");
            Taken.From = (int)From;
        } else if (Arg.size() > 1 && Arg[0] == '-') {
            return Usage(("unknown option " + Arg).c_str());
        } else {
            Taken.Collections.push_back(Arg);
        }
    }
    if (Taken.Collections.empty())
        return Usage("name at least one collection file");
    if (Taken.Out.empty())
        return Usage("name the folder to make with -o DIR");
    if (Taken.RequireProof && Taken.ProveSeconds == 0)
        Taken.ProveSeconds = DefaultProofSeconds;
    return 1;
}

static int Usage(const char* Problem)
{
    if (Problem)
        std::fprintf(stderr, "kistora-import: %s\n", Problem);
    std::fprintf(
        Problem ? stderr : stdout,
        "usage: kistora-import COLLECTION... -o DIR [--title TEXT] [--prove SECONDS] [--require-proof]\n"
        "                      [--from N] [--game FILE] [--data DIR]\n"
        "Makes DIR, a Kistora folder that plays the levels of the collections (.xsb, .sok, .txt) in order.\n"
        "  -o DIR           the folder to make; it must not exist yet\n"
        "  --title TEXT     call untitled levels \"TEXT 1\", \"TEXT 2\", ... instead of after their collection\n"
        "  --prove SECONDS  let kistora-solve try each level for up to SECONDS and report the result\n"
        "  --require-proof  take only levels the solver solved (10 seconds each unless --prove says)\n"
        "  --from N         start at the Nth level found (a folder holds %d levels)\n"
        "  --game FILE      the game to copy (default: kistora beside this tool, else on the PATH)\n"
        "  --data DIR       the folder of Kistora.data, Kistora.maps and Kistora.languages\n"
        "                   (default: the game's folder, else <game folder>/../share/games/kistora)\n",
        PackMaxLevels);
    return 0;
}
