// From a collection's board to a level Kistora plays: the floor outside the
// walls is dropped, the board is cut to the walls around the worker's floor,
// turned a quarter when only that makes it fit the 30 x 15 field, and checked
// against what the game can play. The level compiler's own check
// (BuildLevelGrid) has the last word, so every level we keep compiles.
#include <algorithm>

#include "import.h"
#include "levelkit.h"

static std::string Cell(int X, int Y);

int NormaliseLevel(const CollectionLevel& Level, PlayableLevel& Playable, std::string& Reason)
{
    Playable = PlayableLevel();
    Reason.clear();
    auto Size = [](int Cells) {
        return Cells > ReadMaxCells * 4 ? "more than " + std::to_string(ReadMaxCells * 4) : std::to_string(Cells);
    };
    if (Level.Width > ReadMaxCells || Level.Height > ReadMaxCells || (int)Level.Rows.size() != Level.Height) {
        Reason = "it is " + Size(Level.Width) + " x " + Size(Level.Height) + " cells; the field holds " +
                 std::to_string(KitFieldWidth) + " x " + std::to_string(KitFieldHeight);
        return 0;
    }
    // The board with a ring of nothing around it: (W + 2) x (H + 2), board cell (x, y) at (x + 1, y + 1).
    const int W = Level.Width + 2, H = Level.Height + 2;
    std::vector<char> Board((size_t)W * H, ' ');
    int Workers = 0, Crates = 0, Targets = 0, CratesOff = 0, Start = -1;
    for (int Y = 0; Y < Level.Height; Y++) {
        const std::string& Row = Level.Rows[Y];
        for (int X = 0; X < (int)Row.size(); X++) {
            char C = Row[X];
            int At = (Y + 1) * W + X + 1;
            Board[At] = C;
            if (C == '@' || C == '+') {
                Workers++;
                Start = At;
            }
            Crates += C == '$' || C == '*';
            Targets += C == '.' || C == '*' || C == '+';
            CratesOff += C == '$';
        }
    }
    if (Workers != 1) {
        Reason =
            Workers == 0 ? "it has no worker" : "it has " + std::to_string(Workers) + " workers; it needs exactly one";
        return 0;
    }
    if (Crates == 0) {
        Reason = "it has no crates";
        return 0;
    }
    if (Crates > KitMaxCrates) {
        Reason = "it has " + std::to_string(Crates) + " crates; Kistora plays levels of 1 to " +
                 std::to_string(KitMaxCrates);
        return 0;
    }
    if (Targets != Crates) {
        Reason = "it has " + std::to_string(Crates) + (Crates == 1 ? " crate" : " crates") + " but " +
                 std::to_string(Targets) + (Targets == 1 ? " target" : " targets") +
                 "; it needs as many targets as crates";
        return 0;
    }
    // The worker's floor, crates ignored: what the worker could reach with every crate gone.
    std::vector<uint8_t> Floor((size_t)W * H, 0);
    std::vector<int> Queue{Start};
    Floor[Start] = 1;
    for (size_t Head = 0; Head < Queue.size(); Head++) {
        int At = Queue[Head];
        for (int Next : {At - 1, At + 1, At - W, At + W}) {
            int X = Next % W, Y = Next / W;
            if (X == 0 || Y == 0 || X == W - 1 || Y == H - 1) {
                Reason = "its walls are open: the worker can walk off the board at " + Cell(At % W, At / W);
                return 0;
            }
            if (Board[Next] != '#' && !Floor[Next]) {
                Floor[Next] = 1;
                Queue.push_back(Next);
            }
        }
    }
    for (int At = 0; At < W * H; At++) {
        char C = Board[At];
        if (Floor[At] || (C != '$' && C != '*' && C != '.'))
            continue;
        Reason = std::string(C == '.' ? "the target" : "the crate") + " at " + Cell(At % W, At / W) +
                 " lies outside the worker's floor";
        return 0;
    }
    if (CratesOff == 0) {
        Reason = "it is solved already: every crate stands on a target";
        return 0;
    }
    // Cut to the box of the worker's floor and the walls around it.
    int Left = W, Right = 0, Top = H, Bottom = 0;
    for (int At = 0; At < W * H; At++) {
        if (!Floor[At])
            continue;
        Left = std::min(Left, At % W - 1);
        Right = std::max(Right, At % W + 1);
        Top = std::min(Top, At / W - 1);
        Bottom = std::max(Bottom, At / W + 1);
    }
    int BoxWidth = Right - Left + 1, BoxHeight = Bottom - Top + 1;
    int Turn = 0;
    if (BoxWidth > KitFieldWidth || BoxHeight > KitFieldHeight) {
        if (BoxHeight > KitFieldWidth || BoxWidth > KitFieldHeight) {
            Reason = "it is " + std::to_string(BoxWidth) + " x " + std::to_string(BoxHeight) +
                     " cells; the field holds " + std::to_string(KitFieldWidth) + " x " +
                     std::to_string(KitFieldHeight);
            return 0;
        }
        Turn = 1;
    }
    // Cells off the worker's floor show as outside, so only walls are kept there.
    auto Symbol = [&](int X, int Y) {
        int At = (Top + Y) * W + Left + X;
        return Floor[At] ? Board[At] : Board[At] == '#' ? '#' : ' ';
    };
    Playable.Width = Turn ? BoxHeight : BoxWidth;
    Playable.Height = Turn ? BoxWidth : BoxHeight;
    for (int Y = 0; Y < Playable.Height; Y++) {
        std::string Row;
        for (int X = 0; X < Playable.Width; X++) {
            // A quarter turn clockwise: the new row Y is the old column Y read from the bottom up.
            Row += Turn ? Symbol(Y, BoxHeight - 1 - X) : Symbol(X, Y);
        }
        while (!Row.empty() && Row.back() == ' ')
            Row.pop_back();
        Playable.Rows.push_back(Row);
    }
    Playable.Crates = Crates;
    Playable.Rotated = Turn;
    LevelGrid Grid;
    std::string Error;
    if (!BuildLevelGrid(Playable.Rows, Grid, Error)) {
        Reason = "the level compiler refuses it: " + Error;
        Playable = PlayableLevel();
        return 0;
    }
    return 1;
}

// A cell of the padded board, which is the board's own column and row counted from 1.
static std::string Cell(int X, int Y)
{
    return "column " + std::to_string(X) + ", row " + std::to_string(Y);
}
