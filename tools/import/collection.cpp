// Reading level collections in the genre's common text notation: boards of
// '#' wall, ' ' '-' '_' floor, '$' crate, '.' target, '*' crate on target,
// '@' worker, '+' worker on target, optionally run-length coded ("4#|#@$.#|4#"),
// between title lines, "Title:"/"Author:" lines, ';' comments and
// "Comment:" ... "Comment-End:" blocks, in UTF-8, UTF-16 or Windows-1252.
//
// Where a "Title:" line belongs is decided by blank lines: a block of lines
// that touches a board (no blank line between) belongs to that board. A block
// that touches neither board, or both, follows the file's habit: files that put
// "Title:" under their boards (counted over the whole file, or seen after the
// last board) give it to the board above, all others to the board below.
#include <cstdio>
#include <fstream>
#include <string_view>

#include "import.h"

namespace {

enum LineKind { KindBlank, KindSkip, KindKey, KindTitle, KindBoard, KindText };

// The lines of a block between two boards, as far as titles care.
struct Paragraph {
    int Open = 0;
    int TouchesBoardAbove = 0;
    int Keys = 0;  // key lines, "Title:" included
    int Texts = 0; // plain text lines
    int HasTitle = 0;
    std::string Title; // the first "Title:" value
    std::string Text;  // the last text line
};

struct Scanner {
    int TitlesBelowBoards = 0; // the file's habit: 1 when "Title:" follows its board
    // Evidence gathered while scanning, read after the first pass.
    int TouchAbove = 0, TouchBelow = 0, TitleAfterLastBoard = 0;
    // The board being read or waiting for the lines after it.
    int HasBoard = 0, InBoard = 0;
    CollectionLevel Board;
    int BoardHasPieces = 0; // a worker, crate or target symbol: a level, not a drawing
    int BoardTitleSet = 0;
    std::string BoardTitle; // from a "Title:" line
    std::string BoardText;  // from a title line before it
    // The lines since the last board.
    Paragraph Block;
    int JustAfterBoard = 0; // 1 until the first line after the board's last row
    int TitlesInRegion = 0; // "Title:" blocks since the last board
    int NextTitleSet = 0;
    std::string NextTitle; // "Title:" meant for the next board
    std::string LastText;  // a lone text line in the last block, for the next board
    int LastTextBlock = 0; // the block LastText came from (1-based), 0 for none
    int NextTitleBlock = 0;
    // The collection's own title: the first title of a block before the first
    // board that does not title that board.
    int Blocks = 0;
    int HeaderTitleBlock = 0;
    std::string HeaderTitle;
    int HeaderTitleTaken = 0;
    int Found = 0;
    const std::function<void(CollectionLevel&)>* Take = nullptr;
};

const char* const KnownKeys[] = {
    "title",       "author",    "comment",      "comment-end",
    "comment_end", "date",      "date created", "date of last change",
    "created",     "email",     "e-mail",       "homepage",
    "url",         "copyright", "collection",   "set",
    "difficulty",  "level",     "name",         "description",
    "remark",      "remarks",   "note",         "notes",
    "source",      "version",   "license",      "licence",
    "moves",       "pushes",    "game",         "board",
    "id",
};

// Windows-1252 code points of the bytes 0x80..0x9F; 0 where the code page has none.
const uint16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Advance widths of ' ' .. '~' in Arial Bold (the metrics of Helvetica Bold), thousandths of an em.
const uint16_t BoldWidths[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584,
};
constexpr int WideLetter = 722; // an accented capital or a letter of another script
constexpr int EllipsisWidth = 1000;

} // namespace

static void AppendUtf8(std::string& Out, uint32_t Code);
static size_t Utf8Length(const std::string_view& Text, size_t At, uint32_t& Code);
static int ValidUtf8(const std::string_view& Text);
static std::string DecodeUtf16(const std::string& Bytes, int BigEndian);
static std::string_view TrimBlanks(std::string_view Text);
static int NextLine(const std::string& Text, size_t& At, std::string_view& Line);
static int KeyLine(std::string_view Line, std::string& Name, std::string& Value);
static void ScanText(const std::string& Text, Scanner& Scan);
static void CloseBlock(Scanner& Scan, int TouchesBoardBelow);
static void StartBoard(Scanner& Scan, int LineNumber);
static void FinishBoard(Scanner& Scan);

std::string DecodeCollectionText(const std::string& Bytes)
{
    if (Bytes.size() >= 2 && (uint8_t)Bytes[0] == 0xFF && (uint8_t)Bytes[1] == 0xFE)
        return DecodeUtf16(Bytes, 0);
    if (Bytes.size() >= 2 && (uint8_t)Bytes[0] == 0xFE && (uint8_t)Bytes[1] == 0xFF)
        return DecodeUtf16(Bytes, 1);
    std::string_view Rest(Bytes);
    if (Rest.substr(0, 3) == "\xEF\xBB\xBF")
        Rest.remove_prefix(3);
    std::string Out;
    Out.reserve(Rest.size());
    // Line by line: a file edited in two editors may mix the two encodings.
    while (!Rest.empty()) {
        size_t End = Rest.find('\n');
        std::string_view Line = Rest.substr(0, End == std::string_view::npos ? Rest.size() : End + 1);
        Rest.remove_prefix(Line.size());
        if (ValidUtf8(Line)) {
            Out.append(Line);
            continue;
        }
        for (unsigned char C : Line) {
            if (C < 0x80)
                Out += (char)C;
            else if (C < 0xA0)
                AppendUtf8(Out, Cp1252High[C - 0x80] ? Cp1252High[C - 0x80] : 0xFFFD);
            else
                AppendUtf8(Out, C);
        }
    }
    return Out;
}

int ExpandBoardLine(const std::string& Line, std::vector<std::string>& Rows, int& LongestRow)
{
    Rows.clear();
    LongestRow = 0;
    std::string_view Text(Line);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r'))
        Text.remove_suffix(1);
    if (Text.empty())
        return 0;
    const int Far = ReadMaxCells * 4; // lengths are counted up to here, then stay "too long"
    std::string Row;
    int RowLength = 0; // true length; Row keeps at most ReadMaxCells cells
    int Count = 0, HasCount = 0, HasWall = 0, FirstSeen = 0, HasBar = 0;
    for (char C : Text) {
        if (C >= '0' && C <= '9') {
            if (Count < 100000)
                Count = Count * 10 + (C - '0');
            HasCount = 1;
            continue;
        }
        if (C == '|') {
            if (HasCount)
                return 0; // a count needs a symbol after it
            HasBar = 1;
            Rows.push_back(Row);
            if (RowLength > LongestRow)
                LongestRow = RowLength;
            Row.clear();
            RowLength = 0;
            continue;
        }
        char Cell = C;
        if (C == '-' || C == '_')
            Cell = ' ';
        else if (C != ' ' && C != '#' && C != '@' && C != '+' && C != '$' && C != '*' && C != '.')
            return 0;
        if (HasCount && Count == 0)
            return 0;
        int Repeat = HasCount ? Count : 1;
        Count = 0;
        HasCount = 0;
        if (Cell != ' ' && !FirstSeen) {
            if (Cell != '#')
                return 0; // a board row starts with its wall
            FirstSeen = 1;
        }
        HasWall |= Cell == '#';
        for (int K = 0; K < Repeat && (int)Row.size() < ReadMaxCells; K++)
            Row += Cell;
        RowLength = Repeat > Far || RowLength > Far ? Far + 1 : RowLength + Repeat;
    }
    if (HasCount || !HasWall)
        return 0;
    if (!Row.empty() || !HasBar)
        Rows.push_back(Row); // "4#|" ends with its separator
    if (RowLength > LongestRow)
        LongestRow = RowLength;
    return 1;
}

int ReadCollectionText(const std::string& Bytes, const std::function<void(CollectionLevel&)>& Take,
                       std::string* CollectionTitle)
{
    std::string Text = DecodeCollectionText(Bytes);
    // First pass: the file's habit; second pass: the levels.
    Scanner Habit;
    ScanText(Text, Habit);
    Scanner Scan;
    if (Habit.TouchAbove != Habit.TouchBelow)
        Scan.TitlesBelowBoards = Habit.TouchAbove > Habit.TouchBelow;
    else
        Scan.TitlesBelowBoards = Habit.TitleAfterLastBoard;
    Scan.Take = &Take;
    ScanText(Text, Scan);
    if (CollectionTitle)
        *CollectionTitle = Scan.HasBoard ? Scan.HeaderTitle : std::string();
    return Scan.Found;
}

int ReadCollectionFile(const std::string& Path, const std::function<void(CollectionLevel&)>& Take, int& Found,
                       std::string& Error, std::string* CollectionTitle)
{
    Found = 0;
    Error.clear();
    if (CollectionTitle)
        CollectionTitle->clear();
    std::ifstream File(Path, std::ios::binary | std::ios::ate);
    if (!File) {
        Error = "cannot be opened";
        return 0;
    }
    std::streamoff Size = File.tellg();
    if (Size < 0) {
        Error = "cannot be read (is it a folder?)";
        return 0;
    }
    if ((uint64_t)Size > ReadMaxBytes) {
        Error = "is " + std::to_string((uint64_t)Size) + " bytes long; a collection may hold at most " +
                std::to_string(ReadMaxBytes >> 20) + " MB";
        return 0;
    }
    std::string Bytes((size_t)Size, '\0');
    File.seekg(0);
    if (Size > 0 && !File.read(Bytes.data(), Size)) {
        Error = "cannot be read";
        return 0;
    }
    Found = ReadCollectionText(Bytes, Take, CollectionTitle);
    return 1;
}

std::string CleanTitle(const std::string& Text)
{
    std::string Spaced;
    int HasLetter = 0;
    size_t At = 0;
    while (At < Text.size()) {
        uint32_t Code = 0;
        size_t Length = Utf8Length(Text, At, Code);
        if (!Length) { // not UTF-8: the reader never passes such text, but stay safe
            Code = 0xFFFD;
            Length = 1;
        }
        At += Length;
        if (Code == 0xFEFF)
            continue;
        if (Code < 0x20 || (Code >= 0x7F && Code < 0xA0) || Code == 0x2028 || Code == 0x2029)
            Code = ' ';
        if (Code == ' ' && (Spaced.empty() || Spaced.back() == ' '))
            continue;
        HasLetter |= (Code >= 'A' && Code <= 'Z') || (Code >= 'a' && Code <= 'z') || Code >= 0xA0;
        AppendUtf8(Spaced, Code);
    }
    while (!Spaced.empty() && Spaced.back() == ' ')
        Spaced.pop_back();
    if (!HasLetter)
        return "";
    if (TitleWidth(Spaced) <= TitleMaxWidth)
        return Spaced;
    // Too wide for the level card: cut at the last word that fits with the ellipsis, or inside a long word.
    size_t Fits = 0, WordEnd = 0;
    int Width = EllipsisWidth;
    for (size_t K = 0; K < Spaced.size();) {
        uint32_t Code = 0;
        size_t Length = Utf8Length(Spaced, K, Code);
        Width += TitleWidth(Spaced.substr(K, Length));
        if (Width > TitleMaxWidth)
            break;
        K += Length;
        Fits = K;
        if (K < Spaced.size() && Spaced[K] == ' ')
            WordEnd = K;
    }
    size_t Cut = WordEnd > Fits / 2 ? WordEnd : Fits;
    std::string Short = Spaced.substr(0, Cut);
    while (!Short.empty() && (Short.back() == ' ' || Short.back() == ',' || Short.back() == '-'))
        Short.pop_back();
    return Short + "\xE2\x80\xA6"; // U+2026, the ellipsis
}

int TitleWidth(const std::string& Text)
{
    int Width = 0;
    for (size_t K = 0; K < Text.size(); K++) {
        uint8_t Byte = (uint8_t)Text[K];
        if (Byte >= 0x20 && Byte < 0x7F)
            Width += BoldWidths[Byte - 0x20];
        else if ((Byte & 0xC0) != 0x80)
            Width += Byte >= 0xE3 ? 1000 : WideLetter; // U+3000 on: full width
    }
    return Width;
}

static void ScanText(const std::string& Text, Scanner& Scan)
{
    size_t At = 0;
    int LineNumber = 0;
    int CommentBlock = 0;
    std::string_view Line;
    std::vector<std::string> Rows;
    std::string Name, Value;
    while (NextLine(Text, At, Line)) {
        LineNumber++;
        std::string_view Trimmed = TrimBlanks(Line);
        LineKind Kind = KindText;
        int Longest = 0;
        if (Trimmed.empty()) {
            Kind = KindBlank;
        } else if (CommentBlock) {
            Kind = KindSkip;
            if (KeyLine(Trimmed, Name, Value) && (Name == "comment-end" || Name == "comment_end"))
                CommentBlock = 0;
        } else if (Trimmed[0] == ';' || Trimmed.substr(0, 2) == "::") {
            Kind = KindSkip;
        } else if (KeyLine(Trimmed, Name, Value)) {
            Kind = Name == "title" && !Value.empty() ? KindTitle : KindKey;
            if (Name == "comment") {
                // A block only when its end follows before the next "Comment:";
                // otherwise it is a one-line comment and the file reads on.
                size_t Ahead = At;
                std::string_view Later;
                std::string LaterName, LaterValue;
                while (NextLine(Text, Ahead, Later)) {
                    if (!KeyLine(TrimBlanks(Later), LaterName, LaterValue))
                        continue;
                    if (LaterName == "comment-end" || LaterName == "comment_end")
                        CommentBlock = 1;
                    if (CommentBlock || LaterName == "comment")
                        break;
                }
            }
        } else if (ExpandBoardLine(std::string(Line), Rows, Longest)) {
            Kind = KindBoard;
        }

        if (Kind == KindBoard) {
            if (!Scan.InBoard) {
                CloseBlock(Scan, 1);
                FinishBoard(Scan);
                StartBoard(Scan, LineNumber);
            }
            for (const std::string& Row : Rows) {
                if ((int)Scan.Board.Rows.size() < ReadMaxCells)
                    Scan.Board.Rows.push_back(Row);
                if (Scan.Board.Height <= ReadMaxCells * 4)
                    Scan.Board.Height++;
                for (char C : Row)
                    Scan.BoardHasPieces |= C != '#' && C != ' ';
            }
            if (Longest > Scan.Board.Width)
                Scan.Board.Width = Longest;
            continue;
        }
        Scan.InBoard = 0;
        int Touching = Scan.JustAfterBoard;
        Scan.JustAfterBoard = 0;
        if (Kind == KindBlank) {
            CloseBlock(Scan, 0);
            continue;
        }
        Paragraph& Block = Scan.Block;
        if (!Block.Open) {
            Block = Paragraph();
            Block.Open = 1;
            Block.TouchesBoardAbove = Touching;
        }
        if (Kind == KindTitle || Kind == KindKey)
            Block.Keys++;
        if (Kind == KindTitle && !Block.HasTitle) {
            Block.HasTitle = 1;
            Block.Title = Value;
        }
        if (Kind == KindText) {
            Block.Texts++;
            Block.Text = std::string(Trimmed);
        }
    }
    CloseBlock(Scan, 0);
    if (Scan.HasBoard && Scan.TitlesInRegion > 0)
        Scan.TitleAfterLastBoard = 1;
    FinishBoard(Scan);
}

// Ends the block of lines being read: gives its "Title:" to the board above or
// below, and keeps a lone text line as the next board's title line.
static void CloseBlock(Scanner& Scan, int TouchesBoardBelow)
{
    Paragraph& Block = Scan.Block;
    if (!Block.Open)
        return;
    Block.Open = 0;
    Scan.Blocks++;
    int Above = Block.TouchesBoardAbove, Below = TouchesBoardBelow;
    if (!Scan.HasBoard && !Below && !Scan.HeaderTitleBlock) {
        std::string Title = CleanTitle(Block.HasTitle ? Block.Title : Block.Texts ? Block.Text : std::string());
        if (!Title.empty()) {
            Scan.HeaderTitleBlock = Scan.Blocks;
            Scan.HeaderTitle = Title;
        }
    }
    if (Block.HasTitle) {
        Scan.TitlesInRegion++;
        if (Above && !Below)
            Scan.TouchAbove++;
        if (Below && !Above)
            Scan.TouchBelow++;
        int ToAbove = Above && !Below ? 1 : Below && !Above ? 0 : Scan.TitlesBelowBoards;
        if (ToAbove) {
            if (Scan.HasBoard && !Scan.BoardTitleSet) {
                Scan.BoardTitleSet = 1;
                Scan.BoardTitle = Block.Title;
            }
        } else if (!Scan.NextTitleSet) {
            Scan.NextTitleSet = 1;
            Scan.NextTitle = Block.Title;
            Scan.NextTitleBlock = Scan.Blocks;
        }
    }
    // A title line: alone in the last block before the board, and not a note hanging under the board above.
    if (Block.Texts == 1 && Block.Keys == 0 && !(Above && !Below)) {
        Scan.LastText = Block.Text;
        Scan.LastTextBlock = Scan.Blocks;
    } else {
        Scan.LastText.clear();
        Scan.LastTextBlock = 0;
    }
}

static void StartBoard(Scanner& Scan, int LineNumber)
{
    if (!Scan.HasBoard && Scan.HeaderTitleBlock && !Scan.HeaderTitleTaken) {
        // The header's title names the first board instead when that board takes it.
        int Titled = (Scan.NextTitleSet && Scan.NextTitleBlock == Scan.HeaderTitleBlock) ||
                     (!Scan.NextTitleSet && Scan.LastTextBlock == Scan.HeaderTitleBlock);
        Scan.HeaderTitleTaken = 1;
        if (Titled)
            Scan.HeaderTitle.clear();
    }
    Scan.HasBoard = 1;
    Scan.InBoard = 1;
    Scan.Board = CollectionLevel();
    Scan.Board.Line = LineNumber;
    Scan.BoardHasPieces = 0;
    Scan.BoardTitleSet = Scan.NextTitleSet;
    Scan.BoardTitle = Scan.NextTitle;
    Scan.BoardText = Scan.LastText;
    Scan.NextTitleSet = 0;
    Scan.NextTitle.clear();
    Scan.NextTitleBlock = 0;
    Scan.LastText.clear();
    Scan.LastTextBlock = 0;
    Scan.TitlesInRegion = 0;
    Scan.JustAfterBoard = 1;
}

// Hands the finished board on. A board of walls and floor alone is a drawing
// (a banner in the file's header), not a level, and is not counted.
static void FinishBoard(Scanner& Scan)
{
    if (!Scan.HasBoard || !Scan.BoardHasPieces)
        return;
    Scan.BoardHasPieces = 0;
    Scan.Found++;
    if (!Scan.Take)
        return;
    CollectionLevel& Level = Scan.Board;
    Level.Number = Scan.Found;
    Level.Title = CleanTitle(Scan.BoardTitleSet ? Scan.BoardTitle : std::string());
    if (Level.Title.empty())
        Level.Title = CleanTitle(Scan.BoardText);
    (*Scan.Take)(Level);
}

// "Key: value" with one of the genre's known keys (any case); Name comes back in small letters.
static int KeyLine(std::string_view Line, std::string& Name, std::string& Value)
{
    size_t Colon = Line.find(':');
    if (Colon == std::string_view::npos || Colon == 0 || Colon > 48)
        return 0;
    Name.clear();
    for (char C : TrimBlanks(Line.substr(0, Colon)))
        Name += (C >= 'A' && C <= 'Z') ? (char)(C - 'A' + 'a') : C;
    Value = std::string(TrimBlanks(Line.substr(Colon + 1)));
    if (Name.compare(0, 8, "solution") == 0)
        return 1;
    for (const char* Key : KnownKeys) {
        if (Name == Key)
            return 1;
    }
    return 0;
}

// The next line without its end ("\n", "\r\n" or a lone "\r"). 0 at the end of the text.
static int NextLine(const std::string& Text, size_t& At, std::string_view& Line)
{
    if (At >= Text.size())
        return 0;
    size_t End = Text.find_first_of("\r\n", At);
    if (End == std::string::npos)
        End = Text.size();
    Line = std::string_view(Text).substr(At, End - At);
    At = End;
    if (At < Text.size())
        At += Text[At] == '\r' && At + 1 < Text.size() && Text[At + 1] == '\n' ? 2 : 1;
    return 1;
}

static std::string_view TrimBlanks(std::string_view Text)
{
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    return Text;
}

static void AppendUtf8(std::string& Out, uint32_t Code)
{
    if (Code < 0x80) {
        Out += (char)Code;
    } else if (Code < 0x800) {
        Out += (char)(0xC0 | (Code >> 6));
        Out += (char)(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += (char)(0xE0 | (Code >> 12));
        Out += (char)(0x80 | ((Code >> 6) & 0x3F));
        Out += (char)(0x80 | (Code & 0x3F));
    } else {
        Out += (char)(0xF0 | (Code >> 18));
        Out += (char)(0x80 | ((Code >> 12) & 0x3F));
        Out += (char)(0x80 | ((Code >> 6) & 0x3F));
        Out += (char)(0x80 | (Code & 0x3F));
    }
}

// Bytes of the well-formed UTF-8 character at At (no overlong forms, no
// surrogates, at most U+10FFFF), with its code point; 0 when it is not one.
static size_t Utf8Length(const std::string_view& Text, size_t At, uint32_t& Code)
{
    uint8_t First = (uint8_t)Text[At];
    if (First < 0x80) {
        Code = First;
        return 1;
    }
    size_t Length = First >= 0xF0 ? 4 : First >= 0xE0 ? 3 : First >= 0xC2 ? 2 : 0;
    if (!Length || First > 0xF4 || At + Length > Text.size())
        return 0;
    Code = First & (0x7F >> Length);
    for (size_t K = 1; K < Length; K++) {
        uint8_t Next = (uint8_t)Text[At + K];
        if ((Next & 0xC0) != 0x80)
            return 0;
        Code = (Code << 6) | (Next & 0x3F);
    }
    if ((Length == 3 && Code < 0x800) || (Length == 4 && (Code < 0x10000 || Code > 0x10FFFF)) ||
        (Code >= 0xD800 && Code <= 0xDFFF))
        return 0;
    return Length;
}

static int ValidUtf8(const std::string_view& Text)
{
    size_t At = 0;
    while (At < Text.size()) {
        uint32_t Code = 0;
        size_t Length = Utf8Length(Text, At, Code);
        if (!Length)
            return 0;
        At += Length;
    }
    return 1;
}

static std::string DecodeUtf16(const std::string& Bytes, int BigEndian)
{
    std::string Out;
    Out.reserve(Bytes.size() / 2);
    auto Unit = [&](size_t At) -> uint32_t {
        uint8_t A = (uint8_t)Bytes[At], B = (uint8_t)Bytes[At + 1];
        return BigEndian ? (A << 8) | B : (B << 8) | A;
    };
    for (size_t At = 2; At + 1 < Bytes.size(); At += 2) {
        uint32_t Code = Unit(At);
        if (Code >= 0xD800 && Code < 0xDC00 && At + 3 < Bytes.size()) {
            uint32_t Low = Unit(At + 2);
            if (Low >= 0xDC00 && Low < 0xE000) {
                Code = 0x10000 + ((Code - 0xD800) << 10) + (Low - 0xDC00);
                At += 2;
            }
        }
        if (Code >= 0xD800 && Code < 0xE000)
            Code = 0xFFFD;
        AppendUtf8(Out, Code);
    }
    return Out;
}
