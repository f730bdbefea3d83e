// kistora-import's reader and level checks: the genre's notation in its
// variants (floors, run-length rows, titles above or below the boards, comment
// blocks, encodings), the reasons a level is refused, and the normal form that
// is handed to the level compiler. Every expected board is drawn by hand.
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "import.h"
#include "test_scratch.h"

namespace {

std::vector<CollectionLevel> ReadLevels(const std::string& Text)
{
    std::vector<CollectionLevel> Levels;
    int Found = ReadCollectionText(Text, [&](CollectionLevel& Level) { Levels.push_back(Level); });
    EXPECT_EQ(Found, (int)Levels.size());
    return Levels;
}

std::vector<std::string> Titles(const std::vector<CollectionLevel>& Levels)
{
    std::vector<std::string> Result;
    for (const CollectionLevel& Level : Levels)
        Result.push_back(Level.Title);
    return Result;
}

// The reason NormaliseLevel gives for the board, "" when it takes it.
std::string Refusal(const std::string& Board)
{
    std::vector<CollectionLevel> Levels = ReadLevels(Board);
    EXPECT_EQ(Levels.size(), 1u) << Board;
    if (Levels.size() != 1)
        return "?";
    PlayableLevel Playable;
    std::string Reason;
    int Taken = NormaliseLevel(Levels[0], Playable, Reason);
    EXPECT_EQ(Taken, Reason.empty() ? 1 : 0);
    return Reason;
}

} // namespace

TEST(ImportReader, FloorsCratesAndWorkersInEveryNotation)
{
    // '-' and '_' are floor like ' '; '*' crate on target, '+' worker on target.
    std::vector<CollectionLevel> Levels = ReadLevels("#######\n#+-$_*#\n#_.$--#\n#######\n");
    ASSERT_EQ(Levels.size(), 1u);
    EXPECT_EQ(Levels[0].Rows, (std::vector<std::string>{"#######", "#+ $ *#", "# .$  #", "#######"}));
    EXPECT_EQ(Levels[0].Width, 7);
    EXPECT_EQ(Levels[0].Height, 4);
    EXPECT_EQ(Levels[0].Number, 1);
    EXPECT_EQ(Levels[0].Line, 1);
}

TEST(ImportReader, RunLengthRows)
{
    std::vector<std::string> Rows;
    int Longest = 0;
    ASSERT_TRUE(ExpandBoardLine("4#|#@$.#|4#", Rows, Longest));
    EXPECT_EQ(Rows, (std::vector<std::string>{"####", "#@$.#", "####"}));
    EXPECT_EQ(Longest, 5);
    ASSERT_TRUE(ExpandBoardLine("12#|#10-#|3-3#|", Rows, Longest)); // two digits; a closing "|" adds no row
    EXPECT_EQ(Rows, (std::vector<std::string>{"############", "#          #", "   ###"}));
    EXPECT_EQ(Longest, 12);
    // Not board lines: a count with nothing to repeat, a zero count, a row starting
    // with something else than a wall, a line without walls, a letter, a tab.
    for (const char* Line : {"#3", "3", "4#|3|#", "0#", "$##", "--$--", "...", "# Level 1", "#\t#", ""})
        EXPECT_FALSE(ExpandBoardLine(Line, Rows, Longest)) << Line;
    // Width is counted beyond what is kept, so a huge count cannot pass as a small board.
    ASSERT_TRUE(ExpandBoardLine("99999#", Rows, Longest));
    EXPECT_EQ(Rows[0].size(), (size_t)ReadMaxCells);
    EXPECT_GT(Longest, ReadMaxCells);

    // Run-length rows and plain rows in one board.
    std::vector<CollectionLevel> Levels = ReadLevels("Title: Packed\n\n5#|#@$.#\n5#\n");
    ASSERT_EQ(Levels.size(), 1u);
    EXPECT_EQ(Levels[0].Rows, (std::vector<std::string>{"#####", "#@$.#", "#####"}));
    EXPECT_EQ(Levels[0].Title, "Packed");
}

TEST(ImportReader, TitlesUnderTheBoardsWithCommentBlocks)
{
    // The habit of .sok files: a title line above, "Title:" and notes below the board.
    std::vector<CollectionLevel> Levels = ReadLevels(":: a header comment\n"
                                                     "My Collection\n"
                                                     "Author: Someone\n"
                                                     "\n"
                                                     "First Title\n"
                                                     "\n"
                                                     "#####\n#@$.#\n#####\n"
                                                     "Author: A\n"
                                                     "Comment:\n"
                                                     "A sketch in a comment is no level:\n"
                                                     "#####\n#@$.#\n#####\n"
                                                     "Comment-End:\n"
                                                     "\n"
                                                     "Second Title\n"
                                                     "\n"
                                                     "#####\n#.$@#\n#####\n"
                                                     "Title: Second, Renamed\n"
                                                     "Author: B\n"
                                                     "\n"
                                                     "; a comment line\n"
                                                     "#####\n#@$.#\n#####\n"
                                                     "Comment: a note on one line\n"
                                                     "\n"
                                                     "#####\n#.$@#\n#####\n"
                                                     "\n"
                                                     "Title: Fourth\n");
    EXPECT_EQ(Titles(Levels), (std::vector<std::string>{"First Title", "Second, Renamed", "", "Fourth"}));
    ASSERT_EQ(Levels.size(), 4u);
    EXPECT_EQ(Levels[2].Number, 3);
    EXPECT_EQ(Levels[1].Line, 20);
}

TEST(ImportReader, TitlesAboveTheBoards)
{
    // The habit of many .xsb and .txt files: "; n" and "Title:" before the board.
    std::vector<CollectionLevel> Levels = ReadLevels("; Collection header\n"
                                                     "\n"
                                                     "; 1\n"
                                                     "Title: Alpha\n"
                                                     "\n"
                                                     "#####\n#@$.#\n#####\n"
                                                     "\n"
                                                     "; 2\n"
                                                     "Title: Beta\n"
                                                     "Author: X\n"
                                                     "\n"
                                                     "#####\n#.$@#\n#####\n"
                                                     "\n"
                                                     "; 3\n"
                                                     "\n"
                                                     "#####\n#@$.#\n#####\n");
    EXPECT_EQ(Titles(Levels), (std::vector<std::string>{"Alpha", "Beta", ""}));

    // Levels separated by title lines alone, and by "Title:" lines alone.
    Levels = ReadLevels("Level One\n#####\n#@$.#\n#####\nLevel Two\n#####\n#.$@#\n#####\n");
    EXPECT_EQ(Titles(Levels), (std::vector<std::string>{"Level One", "Level Two"}));
    Levels = ReadLevels("Title: A\n#####\n#@$.#\n#####\nTitle: B\n#####\n#.$@#\n#####\n");
    EXPECT_EQ(Titles(Levels), (std::vector<std::string>{"A", "B"}));
    // A level number is no title; a banner of walls in the header is no level.
    Levels = ReadLevels("##########\n# Banner #\n##########\n\n1\n\n#####\n#@$.#\n#####\n");
    EXPECT_EQ(Titles(Levels), (std::vector<std::string>{""}));
}

TEST(ImportReader, EncodingsAndLineEnds)
{
    const std::string Board = "\n#####\n#@$.#\n#####\n";
    EXPECT_EQ(Titles(ReadLevels("\xEF\xBB\xBFTitle: Caf\xC3\xA9" + Board)), (std::vector<std::string>{"Caf\xC3\xA9"}));
    // Windows-1252: é and curly quotes, with CR LF line ends.
    EXPECT_EQ(Titles(ReadLevels("Title: \x93"
                                "Caf\xE9\x94\r\n\r\n#####\r\n#@$.#\r\n#####\r\n")),
              (std::vector<std::string>{"\xE2\x80\x9C"
                                        "Caf\xC3\xA9\xE2\x80\x9D"}));
    // Lines of both in one file are read each in its own encoding.
    std::vector<CollectionLevel> Mixed = ReadLevels("Title: Caf\xC3\xA9" + Board + "\nTitle: Caf\xE9" + Board);
    EXPECT_EQ(Titles(Mixed), (std::vector<std::string>{"Caf\xC3\xA9", "Caf\xC3\xA9"}));
    // UTF-16 little-endian with its byte-order mark.
    std::string Wide = "\xFF\xFE";
    for (char C : "Title: Wide" + Board) {
        Wide += C;
        Wide += '\0';
    }
    EXPECT_EQ(Titles(ReadLevels(Wide)), (std::vector<std::string>{"Wide"}));
    // Old Mac line ends: CR alone.
    std::vector<CollectionLevel> Mac = ReadLevels("Title: Mac\r\r#####\r#@$.#\r#####\r");
    ASSERT_EQ(Mac.size(), 1u);
    EXPECT_EQ(Mac[0].Title, "Mac");
    EXPECT_EQ(Mac[0].Rows.size(), 3u);
}

TEST(ImportReader, TitlesAreCleanedAndFitTheCard)
{
    EXPECT_EQ(CleanTitle("  Two\tWords \x01 here  "), "Two Words here");
    EXPECT_EQ(CleanTitle("12"), "");
    EXPECT_EQ(CleanTitle("#3 -- (4)"), "");
    EXPECT_EQ(CleanTitle("\xC3\x84"
                         "rger"),
              "\xC3\x84"
              "rger");
    // Widths in thousandths of an em from the font's table: "W" 944, "i" 278, " " 278.
    EXPECT_EQ(TitleWidth("Wi i"), 944 + 278 + 278 + 278);
    std::string Long = "Warehouse Number Seven on the Old Quay by the River";
    std::string Cut = CleanTitle(Long);
    EXPECT_EQ(Cut, "Warehouse Number Seven on\xE2\x80\xA6");
    EXPECT_LE(TitleWidth(Cut), TitleMaxWidth);
    // One long word is cut inside the word.
    Cut = CleanTitle(std::string(60, 'M'));
    EXPECT_LE(TitleWidth(Cut), TitleMaxWidth);
    EXPECT_EQ(Cut.substr(0, 10), "MMMMMMMMMM");
    EXPECT_EQ(Cut.substr(Cut.size() - 3), "\xE2\x80\xA6");
}

TEST(ImportReader, JunkAndHugeFilesHaveAnOutcome)
{
    // Binary junk, a fixed seed: read to the end without a crash; whatever comes
    // out is a level the checks then judge.
    std::mt19937 Random(15);
    std::string Junk(1 << 20, '\0');
    for (char& C : Junk)
        C = (char)(Random() & 0xFF);
    int Seen = 0;
    ReadCollectionText(Junk, [&](CollectionLevel& Level) {
        PlayableLevel Playable;
        std::string Reason;
        NormaliseLevel(Level, Playable, Reason);
        Seen++;
    });
    // Junk made of board symbols: one enormous board, refused by its size.
    std::string Tall;
    for (int K = 0; K < 5000; K++)
        Tall += "#@$.#\n";
    EXPECT_EQ(Refusal(Tall), "it is 5 x more than 256 cells; the field holds 30 x 15");
    EXPECT_EQ(Refusal("#@$.99999-#\n"), "it is more than 256 x 1 cells; the field holds 30 x 15");

    ScratchFolder Scratch("kistora-import-test");
    int Found = -1;
    std::string Error;
    auto Ignore = [](CollectionLevel&) {};
    EXPECT_FALSE(ReadCollectionFile(Scratch.Path() + "missing.sok", Ignore, Found, Error));
    EXPECT_EQ(Error, "cannot be opened");
    EXPECT_FALSE(ReadCollectionFile(Scratch.Path(), Ignore, Found, Error));
    EXPECT_FALSE(Error.empty());
    // A file over the limit is refused unread (a sparse file: no disk is used).
    {
        std::ofstream Big(Scratch.Path() + "big.txt", std::ios::binary);
        Big.seekp((std::streamoff)ReadMaxBytes);
        Big.put('\n');
    }
    EXPECT_FALSE(ReadCollectionFile(Scratch.Path() + "big.txt", Ignore, Found, Error));
    EXPECT_NE(Error.find("at most 64 MB"), std::string::npos) << Error;
    std::ofstream(Scratch.Path() + "empty.txt").close();
    EXPECT_TRUE(ReadCollectionFile(Scratch.Path() + "empty.txt", Ignore, Found, Error));
    EXPECT_EQ(Found, 0);
}

TEST(ImportNormalise, RefusesEachReasonWithItsMessage)
{
    EXPECT_EQ(Refusal("#####\n# $.#\n#####\n"), "it has no worker");
    EXPECT_EQ(Refusal("######\n#@$.@#\n######\n"), "it has 2 workers; it needs exactly one");
    EXPECT_EQ(Refusal("#####\n#@ .#\n#####\n"), "it has no crates");
    auto Shelf = [](int Crates) {
        std::string Wall(Crates + 3, '#');
        return Wall + "\n#@" + std::string(Crates, '$') + "#\n# " + std::string(Crates, '.') + "#\n" + Wall + "\n";
    };
    EXPECT_EQ(Refusal(Shelf(13)), "it has 13 crates; Kistora plays levels of 1 to 12");
    EXPECT_EQ(Refusal("######\n#@$$.#\n######\n"), "it has 2 crates but 1 target; it needs as many targets as crates");
    // Row 2 has no wall after the target: the worker walks off at its end, column 5.
    EXPECT_EQ(Refusal("#####\n#@$.\n#####\n"),
              "its walls are open: the worker can walk off the board at column 5, row 2");
    EXPECT_EQ(Refusal("#########\n#@ .#$  #\n#########\n"),
              "the crate at column 6, row 2 lies outside the worker's floor");
    EXPECT_EQ(Refusal("#########\n#@ $#.  #\n#########\n"),
              "the target at column 6, row 2 lies outside the worker's floor");
    EXPECT_EQ(Refusal("#####\n#@*#\n####\n"), "it is solved already: every crate stands on a target");
    // 31 cells wide does not fit, turned or not; 20 x 20 neither.
    std::string Wide = std::string(31, '#') + "\n#@$." + std::string(26, ' ') + "#\n" + std::string(31, '#') + "\n";
    EXPECT_EQ(Refusal(Wide), "it is 31 x 3 cells; the field holds 30 x 15");
    std::string Square = std::string(20, '#') + "\n#@$." + std::string(15, ' ') + "#\n";
    for (int K = 0; K < 17; K++)
        Square += "#" + std::string(18, ' ') + "#\n";
    Square += std::string(20, '#') + "\n";
    EXPECT_EQ(Refusal(Square), "it is 20 x 20 cells; the field holds 30 x 15");
    // The largest level that fits, and twelve crates, are taken.
    std::string Largest = std::string(30, '#') + "\n#@$." + std::string(25, ' ') + "#\n";
    for (int K = 0; K < 12; K++)
        Largest += "#" + std::string(28, ' ') + "#\n";
    Largest += std::string(30, '#') + "\n";
    EXPECT_EQ(Refusal(Largest), "");
    EXPECT_EQ(Refusal(Shelf(12)), "");
}

TEST(ImportNormalise, CutsToTheWallsAndDropsTheFloorOutside)
{
    // Three cells of margin in '-', floor outside the walls, and a stray wall far to
    // the right: all gone; the walls round the worker's floor stay as drawn.
    std::vector<CollectionLevel> Levels = ReadLevels("---  ####    #\n"
                                                     "---  #..#\n"
                                                     "--####  ###\n"
                                                     "---#  $$  #--\n"
                                                     "---# @    #\n"
                                                     "---########\n");
    ASSERT_EQ(Levels.size(), 1u);
    PlayableLevel Playable;
    std::string Reason;
    ASSERT_TRUE(NormaliseLevel(Levels[0], Playable, Reason)) << Reason;
    EXPECT_EQ(Playable.Rows,
              (std::vector<std::string>{"  ####", "  #..#", "###  ###", "#  $$  #", "# @    #", "########"}));
    EXPECT_EQ(Playable.Width, 8);
    EXPECT_EQ(Playable.Height, 6);
    EXPECT_EQ(Playable.Crates, 2);
    EXPECT_EQ(Playable.Rotated, 0);
}

TEST(ImportNormalise, TurnsATallLevelClockwise)
{
    // 3 x 17: too tall for the field, 17 x 3 fits. Turned clockwise, the top of the
    // shaft (the worker) ends on the right and its foot (the target) on the left.
    std::string Tall = "###\n#@#\n#$#\n";
    for (int K = 0; K < 12; K++)
        Tall += "# #\n";
    Tall += "#.#\n###\n";
    std::vector<CollectionLevel> Levels = ReadLevels(Tall);
    ASSERT_EQ(Levels.size(), 1u);
    PlayableLevel Playable;
    std::string Reason;
    ASSERT_TRUE(NormaliseLevel(Levels[0], Playable, Reason)) << Reason;
    EXPECT_EQ(Playable.Rotated, 1);
    EXPECT_EQ(Playable.Rows, (std::vector<std::string>{"#################", "#.            $@#", "#################"}));
}
