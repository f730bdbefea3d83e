// kistora-import: turns level collections in the genre's common text notation
// into a portable game folder. This header lists the reader (collection.cpp),
// the level checks (normalise.cpp) and the folder builder (folder.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr int PackMaxLevels = 100;             // levels one folder holds: the game renders a card per level
                                               // at start-up (about 1 MB each at 1920 x 1080)
constexpr int ReadMaxCells = 64;               // rows and columns kept of a board; larger boards are refused
constexpr uint64_t ReadMaxBytes = 64ull << 20; // a collection file larger than this is refused
constexpr int TitleMaxWidth = 16000;           // thousandths of an em of the card's bold title font; the
                                               // card is 18 em wide at every screen size, and wider titles
                                               // are cut at a word and end in an ellipsis

// ---------------------------------------------------------------------------
// collection.cpp: reading a collection
// ---------------------------------------------------------------------------

// One level as the collection gives it.
struct CollectionLevel {
    int Number = 0;                // 1-based position in its collection
    int Line = 0;                  // 1-based line of its first row
    std::string Title;             // UTF-8, one line, cleaned; "" when the collection names none
    std::vector<std::string> Rows; // expanded: '#', '@', '+', '$', '*', '.' and ' ' (any floor)
    int Width = 0, Height = 0;     // true size in cells, even when Rows holds less (see ReadMaxCells)
};

// The whole text as UTF-8 without byte-order mark: UTF-16 with a byte-order mark
// is converted; otherwise each line that is not valid UTF-8 is read as Windows-1252.
std::string DecodeCollectionText(const std::string& Bytes);

// Expands one line of the notation into rows: run-length counts ("3#" is "###"),
// "|" between rows, '-' and '_' as floor. 1 when the line is a board line (only
// board symbols, the first non-floor symbol of the first row a wall), else 0.
int ExpandBoardLine(const std::string& Line, std::vector<std::string>& Rows, int& LongestRow);

// Reads the levels of a decoded or raw collection text in order and hands each one
// to Take. Titles come from a "Title:" line attached to the level or from a lone text
// line before it; ';' lines and "Comment:" ... "Comment-End:" blocks are skipped.
// Returns the number of levels found. CollectionTitle, when given, receives the
// collection's own title: the first title or text line of the file's header
// (the lines before the first level that title no level), "" when it has none.
int ReadCollectionText(const std::string& Bytes, const std::function<void(CollectionLevel&)>& Take,
                       std::string* CollectionTitle = nullptr);

// The same for a file. 1 when the file could be read (Error empty), else 0 with Error.
int ReadCollectionFile(const std::string& Path, const std::function<void(CollectionLevel&)>& Take, int& Found,
                       std::string& Error, std::string* CollectionTitle = nullptr);

// A title made fit for a language file and a level card: control characters and
// line breaks become spaces, runs of spaces one, trimmed, cut to TitleMaxWidth;
// "" for a title of digits and punctuation only (a level number is no title).
std::string CleanTitle(const std::string& Text);
// The width of a text in the card's bold font, in thousandths of an em (Arial Bold's
// advances for ASCII, a wide letter's for the rest).
int TitleWidth(const std::string& Text);

// ---------------------------------------------------------------------------
// normalise.cpp: checks and the form Kistora plays
// ---------------------------------------------------------------------------

struct PlayableLevel {
    std::vector<std::string> Rows; // trimmed to the walls, '#', '@', '+', '$', '*', '.', ' '
    int Width = 0, Height = 0;
    int Crates = 0;
    int Rotated = 0; // 1 when turned a quarter clockwise to fit the field
};

// Normalises a level (floor outside the walls dropped, cut to the walls around the
// worker's floor, turned when only that makes it fit) and checks it. 1 when Kistora
// can play it, else 0 with Reason, a sentence for the player ("it has 2 workers; ...").
int NormaliseLevel(const CollectionLevel& Level, PlayableLevel& Playable, std::string& Reason);

// ---------------------------------------------------------------------------
// folder.cpp: the portable folder
// ---------------------------------------------------------------------------

struct ImportedLevel {
    std::string Source; // collection file as named on the command line
    int Number = 0;     // position in that collection
    std::string Title;  // cleaned title, "" for none
    PlayableLevel Level;
};

struct FolderPlan {
    std::string OutFolder;  // DIR, without a trailing "/"
    std::string GamePath;   // the game executable to copy (links resolved)
    std::string DataFolder; // holds Kistora.data, Kistora.maps, Kistora.languages; ends with "/"
    std::string ToolFolder; // holds kistora-levelc, kistora-langpack, kistora-solve; ends with "/"
    std::string LocaleName; // the user's locale ("de_DE"): the folder starts in it when the game has it
    std::string TempFolder; // the folder being built beside OutFolder; "" when there is none
    std::string WorkFolder; // scratch files inside TempFolder, removed before the rename
};

// The folder of this executable (links resolved), ending with "/"; "" when unknown.
std::string OwnFolder();
// Finds the game and its data as documented: --game, else "kistora" beside this tool,
// else on the PATH; --data, else the game's own folder, else <game folder>/../share/games/kistora.
// 1 when the game, its three archives and the level tools exist, else 0 with Error.
int FindGameFiles(const std::string& GameOption, const std::string& DataOption, FolderPlan& Plan, std::string& Error);

// Makes the temporary folder beside OutFolder (refused when OutFolder exists and is
// not an empty folder, or its parent folder does not exist). 1 or 0 with Error.
int BeginPortableFolder(FolderPlan& Plan, std::string& Error);

// Proves one level with kistora-solve in a process of its own, stopped after Seconds
// (and killed when it overruns). Verdict "solved", "unsolved" or "gave up", with
// Pushes for a solved level. 1 when the solver ran, else 0 with Error.
int ProveLevel(const FolderPlan& Plan, const PlayableLevel& Level, double Seconds, std::string& Verdict, int& Pushes,
               std::string& Error);

// Fills the temporary folder (the game, Kistora.data, a new Kistora.maps and
// Kistora.languages, Kistora.prefs) and renames it to OutFolder. 1 on success; else
// 0 with Error, and the temporary folder is gone (OutFolder was never made).
int FinishPortableFolder(FolderPlan& Plan, const std::vector<ImportedLevel>& Levels, std::string& Error);

// Removes the temporary folder and everything in it.
void AbandonPortableFolder(FolderPlan& Plan);

// The index name of the level at 0-based Position among Count levels: "01".."99",
// three digits from 100 levels on.
std::string PackLevelName(int Position, int Count);

// 1 once SIGINT, SIGTERM or SIGHUP arrived (the folder builder then cleans up).
int ImportInterrupted();
void CatchInterrupts();
