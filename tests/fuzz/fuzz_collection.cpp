// Fuzzes kistora-import's collection reader and level checks: any bytes are
// decoded, split into boards and titles, and every level found is normalised.
// A level that is taken must be one the level compiler takes too, with rows
// that fit the field.
#include <string>

#include "import.h"
#include "levelkit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    std::string Bytes(reinterpret_cast<const char*>(Data), Size);
    ReadCollectionText(Bytes, [](CollectionLevel& Level) {
        if (TitleWidth(Level.Title) > TitleMaxWidth)
            __builtin_trap();
        PlayableLevel Playable;
        std::string Reason;
        if (!NormaliseLevel(Level, Playable, Reason)) {
            if (Reason.empty())
                __builtin_trap();
            return;
        }
        LevelGrid Grid;
        std::string Error;
        if (Playable.Width > KitFieldWidth || Playable.Height > KitFieldHeight ||
            !BuildLevelGrid(Playable.Rows, Grid, Error))
            __builtin_trap();
    });
    return 0;
}
