// Fuzzes the scores reader: the first byte picks the number of levels (0 to
// 63), the rest is the file. Whatever is read must come back unchanged from
// the file the game writes for it.
#include "levels/levels.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size == 0)
        return 0;
    size_t Levels = Data[0] & 63;
    std::vector<uint8_t> Bytes(Data + 1, Data + Size);
    ProgressList.assign(Levels, LevelProgress());
    ReadScoresText(Bytes);
    std::vector<LevelProgress> First = ProgressList;
    std::string Written = ScoresFileText();
    ProgressList.assign(Levels, LevelProgress());
    ReadScoresText(std::vector<uint8_t>(Written.begin(), Written.end()));
    for (size_t I = 0; I < Levels; I++) {
        if (ProgressList[I].TimeMs != First[I].TimeMs || ProgressList[I].Steps != First[I].Steps ||
            ProgressList[I].Unlocked != First[I].Unlocked)
            __builtin_trap();
    }
    return 0;
}
