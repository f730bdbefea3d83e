// Fuzzes the level archive parser: the input is a pack container holding
// "index", "MAPS/..." and "TILES/..." entries, loaded into the level store
// without a screen (tile sprites simply fail), then every level is asked
// about its properties and cells.
#include "levels/levels.h"
#include "display/display.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    std::vector<uint8_t> Copy(Data, Data + Size);
    int Archive = OpenArchiveMemory(Copy.data(), Copy.size());
    if (Archive == 0)
        return 0;
    levelOrder.clear();
    levelsByName.clear();
    tilesByName.clear();
    LoadLevelArchiveFrom(Archive);
    CloseArchive(Archive);

    for (const std::string& Name : levelOrder) {
        for (int Property = -1; Property <= 15; Property++)
            (void)GetLevelProperty(Name, Property);
        for (int Layer = -1; Layer <= 16; Layer++) {
            for (int Cell = -2; Cell <= 34; Cell += 3) {
                int32_t Free = IsCellFree(Name, Layer, Cell, 34 - Cell);
                if (Free < -1 || Free > 1)
                    __builtin_trap();
            }
        }
    }
    for (int Property = -1; Property <= 6; Property++)
        (void)GetArchiveProperty(Property);
    return 0;
}
