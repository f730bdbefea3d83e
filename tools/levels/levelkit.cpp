// Level notation: reading source files, building and checking level grids.
#include "levelkit.h"

#include <cstdio>
#include <fstream>

static std::string TrimText(const std::string& Text);
static int HeaderValue(const std::string& Line, const char* Key, std::string& Value);

int ReadLevelFile(const std::string& Path, std::vector<SourceLevel>& Levels, std::string& Error)
{
    std::ifstream File(Path, std::ios::binary);
    if (!File) {
        Error = Path + ": cannot be opened";
        return 0;
    }
    std::string Line;
    int LineNumber = 0;
    int InRows = 0; // 1 while the rows of the last level are being read
    while (std::getline(File, Line)) {
        LineNumber++;
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        std::string Value;
        if (HeaderValue(Line, "Name:", Value)) {
            SourceLevel Level;
            Level.Name = Value;
            Level.Line = LineNumber;
            Levels.push_back(Level);
            InRows = 0;
            continue;
        }
        if (HeaderValue(Line, "Title:", Value)) {
            if (Levels.empty() || InRows) {
                Error = Path + ":" + std::to_string(LineNumber) + ": Title: outside a level header";
                return 0;
            }
            Levels.back().TitleKey = Value;
            continue;
        }
        if (!Line.empty() && Line[0] == ';')
            continue;
        if (TrimText(Line).empty()) {
            if (InRows)
                InRows = 2; // rows ended; further rows are an error
            continue;
        }
        if (Levels.empty() || InRows == 2) {
            Error = Path + ":" + std::to_string(LineNumber) + ": map row outside a level";
            return 0;
        }
        for (char C : Line) {
            if (C != '#' && C != '$' && C != '.' && C != '*' && C != '@' && C != '+' && C != ' ' && C != '-' &&
                C != '_') {
                Error = Path + ":" + std::to_string(LineNumber) + ": unknown map character '" + std::string(1, C) + "'";
                return 0;
            }
        }
        InRows = 1;
        Levels.back().Rows.push_back(Line);
    }
    for (const SourceLevel& Level : Levels) {
        if (Level.Name.empty() || Level.Name.size() > 32 || Level.TitleKey.empty() || Level.TitleKey.size() > 256 ||
            Level.Rows.empty()) {
            Error = Path + ":" + std::to_string(Level.Line) +
                    ": a level needs a name (1-32 characters), a title key and rows";
            return 0;
        }
    }
    return 1;
}

int BuildLevelGrid(const std::vector<std::string>& Rows, LevelGrid& Grid, std::string& Error)
{
    Grid = LevelGrid();
    int Width = 0;
    for (const std::string& Row : Rows) {
        size_t End = Row.find_last_not_of(" -_");
        int Used = End == std::string::npos ? 0 : (int)End + 1;
        if (Used > Width)
            Width = Used;
    }
    int Height = (int)Rows.size();
    if (Width < 3 || Height < 3 || Width > KitFieldWidth || Height > KitFieldHeight) {
        Error =
            "the level is " + std::to_string(Width) + " x " + std::to_string(Height) + " cells; it must fit 30 x 15";
        return 0;
    }
    Grid.Width = Width;
    Grid.Height = Height;
    int Cells = Width * Height;
    Grid.Wall.assign(Cells, 0);
    Grid.Target.assign(Cells, 0);
    Grid.Inside.assign(Cells, 0);
    int Workers = 0, Targets = 0;
    for (int Y = 0; Y < Height; Y++) {
        for (int X = 0; X < Width; X++) {
            char C = X < (int)Rows[Y].size() ? Rows[Y][X] : ' ';
            int Cell = Y * Width + X;
            if (C == '#')
                Grid.Wall[Cell] = 1;
            if (C == '.' || C == '*' || C == '+') {
                Grid.Target[Cell] = 1;
                Targets++;
            }
            if (C == '$' || C == '*')
                Grid.Crates.push_back(Cell);
            if (C == '@' || C == '+') {
                Grid.Worker = Cell;
                Workers++;
            }
        }
    }
    if (Workers != 1) {
        Error = "the level needs exactly one worker, it has " + std::to_string(Workers);
        return 0;
    }
    int CrateCount = (int)Grid.Crates.size();
    if (CrateCount < 1 || CrateCount > KitMaxCrates || CrateCount != Targets) {
        Error = "the level has " + std::to_string(CrateCount) + " crates and " + std::to_string(Targets) +
                " targets; it needs 1 to 12 of each, as many crates as targets";
        return 0;
    }
    // Flood the worker's floor; touching the bounding box edge means the ring is open.
    std::vector<int> Queue{Grid.Worker};
    Grid.Inside[Grid.Worker] = 1;
    for (size_t Head = 0; Head < Queue.size(); Head++) {
        int Cell = Queue[Head];
        int X = Cell % Width, Y = Cell / Width;
        if (X == 0 || Y == 0 || X == Width - 1 || Y == Height - 1) {
            Error = "the wall ring is open at column " + std::to_string(X + 1) + ", row " + std::to_string(Y + 1);
            return 0;
        }
        const int Next[4] = {Cell - 1, Cell + 1, Cell - Width, Cell + Width};
        for (int N : Next) {
            if (!Grid.Wall[N] && !Grid.Inside[N]) {
                Grid.Inside[N] = 1;
                Queue.push_back(N);
            }
        }
    }
    for (int Cell = 0; Cell < Cells; Cell++) {
        int Crate = 0;
        for (int C : Grid.Crates)
            Crate |= C == Cell;
        if ((Grid.Target[Cell] || Crate) && !Grid.Inside[Cell]) {
            Error = "a crate or target at column " + std::to_string(Cell % Width + 1) + ", row " +
                    std::to_string(Cell / Width + 1) + " lies outside the worker's floor";
            return 0;
        }
    }
    return 1;
}

std::vector<std::string> LevelGridRows(const LevelGrid& Grid)
{
    std::vector<std::string> Rows;
    for (int Y = 0; Y < Grid.Height; Y++) {
        std::string Row;
        for (int X = 0; X < Grid.Width; X++) {
            int Cell = Y * Grid.Width + X;
            int Crate = 0;
            for (int C : Grid.Crates)
                Crate |= C == Cell;
            char C = ' ';
            if (Grid.Wall[Cell])
                C = '#';
            else if (Cell == Grid.Worker)
                C = Grid.Target[Cell] ? '+' : '@';
            else if (Crate)
                C = Grid.Target[Cell] ? '*' : '$';
            else if (Grid.Target[Cell])
                C = '.';
            Row += C;
        }
        size_t End = Row.find_last_not_of(' ');
        Row.resize(End == std::string::npos ? 0 : End + 1);
        Rows.push_back(Row);
    }
    return Rows;
}

int CheckSolution(const LevelGrid& Grid, const std::string& Lurd)
{
    std::vector<uint8_t> Crate(Grid.Wall.size(), 0);
    for (int C : Grid.Crates)
        Crate[C] = 1;
    int Worker = Grid.Worker;
    for (char Move : Lurd) {
        int Step = 0;
        switch (Move | 0x20) {
        case 'l': Step = -1; break;
        case 'r': Step = 1; break;
        case 'u': Step = -Grid.Width; break;
        case 'd': Step = Grid.Width; break;
        default: return 0;
        }
        int Push = Move < 'a';
        int Next = Worker + Step;
        if (!Grid.Inside[Next])
            return 0;
        if (Crate[Next] != Push)
            return 0; // a push needs a crate, a walk a free cell
        if (Push) {
            int Beyond = Next + Step;
            if (!Grid.Inside[Beyond] || Crate[Beyond])
                return 0;
            Crate[Next] = 0;
            Crate[Beyond] = 1;
        }
        Worker = Next;
    }
    for (size_t Cell = 0; Cell < Crate.size(); Cell++) {
        if (Grid.Target[Cell] && !Crate[Cell])
            return 0;
    }
    return 1;
}

void MeasureLevel(const LevelGrid& Grid, const std::string& Lurd, LevelFigures& Figures)
{
    Figures = LevelFigures();
    std::vector<uint8_t> Crate(Grid.Wall.size(), 0), Used(Grid.Wall.size(), 0);
    for (int C : Grid.Crates)
        Crate[C] = Used[C] = 1;
    int Worker = Grid.Worker;
    Used[Worker] = 1;
    for (char Move : Lurd) {
        int Step = (Move | 0x20) == 'l'   ? -1
                   : (Move | 0x20) == 'r' ? 1
                   : (Move | 0x20) == 'u' ? -Grid.Width
                                          : Grid.Width;
        int Next = Worker + Step;
        if (!Grid.Inside[Next])
            continue;
        if (Crate[Next]) {
            int Beyond = Next + Step;
            if (!Grid.Inside[Beyond] || Crate[Beyond])
                continue;
            Crate[Next] = 0;
            Crate[Beyond] = Used[Beyond] = 1;
        }
        Worker = Next;
        Used[Worker] = 1;
    }
    Figures.Crates = (int)Grid.Crates.size();
    for (size_t Cell = 0; Cell < Used.size(); Cell++) {
        Figures.Floor += Grid.Inside[Cell];
        Figures.Unused += Grid.Inside[Cell] && !Used[Cell];
    }
}

std::string KitTileFile(int Tile)
{
    if (Tile == KitTileFloor)
        return "floor.png";
    if (Tile == KitTileOutside)
        return "outside.png";
    if (Tile == KitTileTarget)
        return "target.png";
    char Name[32];
    std::snprintf(Name, sizeof Name, "wall_%02d.png", Tile - KitTileWallFirst);
    return Name;
}

static std::string TrimText(const std::string& Text)
{
    size_t First = Text.find_first_not_of(" \t");
    if (First == std::string::npos)
        return std::string();
    size_t Last = Text.find_last_not_of(" \t");
    return Text.substr(First, Last - First + 1);
}

static int HeaderValue(const std::string& Line, const char* Key, std::string& Value)
{
    std::string KeyText(Key);
    if (Line.compare(0, KeyText.size(), KeyText) != 0)
        return 0;
    Value = TrimText(Line.substr(KeyText.size()));
    return 1;
}
