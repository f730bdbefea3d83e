// The progress list (one entry per level, in play order) and the scores file
// "Kistora.scores": three CR LF lines per level - time in ms, steps, unlocked.
#include "levels/levels.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

static const char* const ScoresFileName = "Kistora.scores";
// Only this much of a scores file is read: three lines per level of a few
// digits each take some kilobytes, and what lies beyond the last level's
// lines is never looked at, however large the file is.
static const size_t ScoresReadLimit = 1 << 20;

std::vector<LevelProgress> ProgressList;
std::vector<std::string> LevelNameList;

static std::string NextLine(const std::vector<uint8_t>& Bytes, size_t& Position);
static int32_t Low32(int64_t Value);

void BuildProgressList()
{
    ProgressList.clear();
    ProgressList.reserve(LevelNameList.size());
    for (const std::string& Name : LevelNameList) {
        LevelProgress Entry;
        Entry.Name = Name;
        Entry.TitleKey = GetLevelProperty(Name, 0);
        ProgressList.push_back(Entry);
    }
}

// Entries are matched to levels by position only. A short file leaves the
// remaining levels locked and never completed; extra lines are not read.
int LoadScores(const std::string& Folder)
{
    std::vector<uint8_t> Bytes;
    if (ReadFileLimited(Folder + ScoresFileName, Bytes, ScoresReadLimit, 1) != 1) {
        return 0;
    }
    ReadScoresText(Bytes);
    return 1;
}

void ReadScoresText(const std::vector<uint8_t>& Bytes)
{
    size_t Position = 0;
    for (LevelProgress& Entry : ProgressList) {
        Entry.TimeMs = ParseNumber(NextLine(Bytes, Position));
        Entry.Steps = Low32(ParseNumber(NextLine(Bytes, Position)));
        Entry.Unlocked = Low32(ParseNumber(NextLine(Bytes, Position)));
    }
}

// Written through a temporary file and a rename: a failed write keeps the
// previous file whole. 1 when written, else 0 after reporting the failure
// (log and standard error); the caller decides whether the game goes on.
int SaveScores(const std::string& Folder)
{
    if (Folder.empty()) {
        ReportSaveFailure("scores", ScoresFileName, "no folder to save in");
        return 0;
    }
    const std::string Bytes = ScoresFileText();
    if (!WriteFileAtomic(Folder + ScoresFileName, Bytes.data(), Bytes.size())) {
        ReportSaveFailure("scores", Folder + ScoresFileName, LastSaveError());
        return 0;
    }
    return 1;
}

std::string ScoresFileText()
{
    std::string Out;
    Out.reserve(ProgressList.size() * 24);
    for (const LevelProgress& Entry : ProgressList) {
        Out += std::to_string(Entry.TimeMs);
        Out += "\r\n";
        Out += std::to_string(Entry.Steps);
        Out += "\r\n";
        Out += std::to_string(Entry.Unlocked);
        Out += "\r\n";
    }
    return Out;
}

// One line; it ends at CR, at LF or at CR LF. Past the end: an empty line.
static std::string NextLine(const std::vector<uint8_t>& Bytes, size_t& Position)
{
    const size_t Start = Position;
    while (Position < Bytes.size() && Bytes[Position] != '\r' && Bytes[Position] != '\n') {
        Position++;
    }
    std::string Line;
    if (Position > Start) {
        Line.assign(reinterpret_cast<const char*>(Bytes.data()) + Start, Position - Start);
    }
    if (Position < Bytes.size()) {
        if (Bytes[Position] == '\r' && Position + 1 < Bytes.size() && Bytes[Position + 1] == '\n') {
            Position++;
        }
        Position++;
    }
    return Line;
}

// The low 32 bits, as the steps and the unlocked flag are stored.
static int32_t Low32(int64_t Value)
{
    return int32_t(uint32_t(uint64_t(Value)));
}
