// The grouped key-value document reader and writer.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

#include "test_settings_helpers.h"

static const std::string Bom = "\xEF\xBB\xBF";

// Parses Text (UTF-8, no byte-order mark) and selects Group.
static Document Parsed(const std::string& Text, const std::string& Group)
{
    Document Doc;
    ParseDocument(Doc, Text);
    SelectGroup(Doc, Group);
    return Doc;
}

TEST(SettingsDocument, LineKindsAndBlanks)
{
    Document Doc;
    ParseDocument(Doc, ";  two blanks\r\n  \t[Main] trailing text\r\n  Key1\t =  \tvalue with end blanks  \r\n"
                       "NoEquals \t\r\n;x\r\n[Open\r\nEmpty=\r\n=orphan\r\n");
    ASSERT_EQ(Doc.Entries.size(), 8u);
    EXPECT_EQ(Doc.Entries[0].Kind, EntryComment);
    EXPECT_EQ(Doc.Entries[0].Value, " two blanks"); // only one blank after ";" is dropped
    EXPECT_EQ(Doc.Entries[1].Kind, EntryGroup);
    EXPECT_EQ(Doc.Entries[1].Name, "Main");
    EXPECT_EQ(Doc.Entries[2].Kind, EntryKey);
    EXPECT_EQ(Doc.Entries[2].Name, "Key1");
    EXPECT_EQ(Doc.Entries[2].Value, "value with end blanks  ");
    EXPECT_EQ(Doc.Entries[3].Name, "NoEquals");
    EXPECT_EQ(Doc.Entries[3].Value, "");
    EXPECT_EQ(Doc.Entries[4].Kind, EntryComment);
    EXPECT_EQ(Doc.Entries[4].Value, "x");
    EXPECT_EQ(Doc.Entries[5].Kind, EntryGroup);
    EXPECT_EQ(Doc.Entries[5].Name, "Open"); // no "]": to the end of the line
    EXPECT_EQ(Doc.Entries[6].Name, "Empty");
    EXPECT_EQ(Doc.Entries[6].Value, "");
    EXPECT_EQ(Doc.Entries[7].Name, "");
    EXPECT_EQ(Doc.Entries[7].Value, "orphan");
}

TEST(SettingsDocument, LineBreaksOfEveryKind)
{
    for (const std::string Break : {"\r\n", "\n", "\r", "\r\r\n\n", "\n\r"}) {
        Document Doc = Parsed("[G]" + Break + "A=1" + Break + Break + "B=2" + Break, "g");
        EXPECT_EQ(Doc.Entries.size(), 3u) << "break of " << Break.size() << " bytes";
        EXPECT_EQ(ReadText(Doc, "A", "?"), "1");
        EXPECT_EQ(ReadText(Doc, "B", "?"), "2");
    }
    // No line end at all after the last line.
    Document Doc = Parsed("[G]\nA=last", "G");
    EXPECT_EQ(ReadText(Doc, "A", ""), "last");
}

TEST(SettingsDocument, GroupAndKeyLookupIgnoreCaseFirstWins)
{
    Document Doc = Parsed("Top=above\n[one]\nKey=first\n[ONE]\nKey=second group\n[Two]\n"
                          "key=a\nKEY=b\n;Key=commented\nTop=inside\n",
                          "TWO");
    EXPECT_EQ(ReadText(Doc, "Key", "-"), "a"); // first match in the group
    EXPECT_EQ(ReadText(Doc, "kEy", "-"), "a");
    EXPECT_EQ(ReadText(Doc, "Top", "-"), "inside"); // the key above the groups is not seen
    EXPECT_EQ(SelectGroup(Doc, "One"), 1);
    EXPECT_EQ(ReadText(Doc, "KEY", "-"), "first"); // first group of that name
    EXPECT_EQ(ReadText(Doc, "Top", "-"), "-");     // search stops at the next group
    EXPECT_EQ(SelectGroup(Doc, "Three"), 0);
    EXPECT_EQ(ReadText(Doc, "Key", "default"), "default"); // missing group: every read defaults
    EXPECT_EQ(ReadInteger(Doc, "Key", 77), 77);
}

TEST(SettingsDocument, KeysBeforeTheFirstGroupAreNotFound)
{
    Document Doc = Parsed("Music = 0\nLanguage = de_DE\n", "Settings");
    EXPECT_EQ(ReadInteger(Doc, "Music", 1), 1);
    Doc = Parsed("Music = 0\n[Settings]\n", "Settings");
    EXPECT_EQ(ReadInteger(Doc, "Music", 1), 1);
    EXPECT_EQ(FirstGroup(Doc), 1);
    EXPECT_EQ(FirstKey(Doc), 0);
}

TEST(SettingsDocument, IntegersReadTheLeadingDecimalNumber)
{
    Document Doc = Parsed("[S]\nA = 12abc\nB = on\nC = -3\nD=\nE = $10\nF = 99999999999999999999\n", "S");
    EXPECT_EQ(ReadInteger(Doc, "A", 5), 12);
    EXPECT_EQ(ReadInteger(Doc, "B", 5), 0); // present without a number: 0, not the default
    EXPECT_EQ(ReadInteger(Doc, "C", 5), -3);
    EXPECT_EQ(ReadInteger(Doc, "D", 5), 0);
    EXPECT_EQ(ReadInteger(Doc, "E", 5), 0); // decimal only
    EXPECT_EQ(ReadInteger(Doc, "F", 5), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ReadInteger(Doc, "G", 5), 5);
}

TEST(SettingsDocument, Enumeration)
{
    Document Doc;
    ParseDocument(Doc, "Lost=1\n[A]\nk1=v1\n;note\nk2 = v2\n[B]\n[C]\nk3=v3\n");
    std::vector<std::string> Seen;
    for (int G = FirstGroup(Doc); G; G = NextGroup(Doc)) {
        Seen.push_back(std::string(1, '[').append(CurrentGroupName(Doc)).append("]"));
        for (int K = FirstKey(Doc); K; K = NextKey(Doc))
            Seen.push_back(CurrentKeyName(Doc) + "=" + CurrentKeyValue(Doc));
    }
    EXPECT_EQ(Seen, (std::vector<std::string>{"[A]", "k1=v1", "k2=v2", "[B]", "[C]", "k3=v3"}));
    EXPECT_EQ(NextGroup(Doc), 0);
    Document Empty;
    ParseDocument(Empty, "");
    EXPECT_EQ(FirstGroup(Empty), 0);
    EXPECT_EQ(CurrentGroupName(Empty), "");
    EXPECT_EQ(FirstKey(Empty), 0);
    EXPECT_EQ(CurrentKeyName(Empty), "");
}

TEST(SettingsDocument, FilesWithAndWithoutByteOrderMark)
{
    ScratchFolder Folder;
    std::string Path = Folder.Path() + "doc.txt";
    Document Doc;

    WriteBytes(Path, Bom + "[G]\r\nName = Gr\xC3\xBC\xC3\x9F"
                           "e\r\n");
    ASSERT_EQ(OpenDocument(Doc, Path), 1);
    SelectGroup(Doc, "G");
    EXPECT_EQ(ReadText(Doc, "Name", ""), "Gr\xC3\xBC\xC3\x9F"
                                         "e");

    // Without the mark the bytes are the 8-bit code page: u-umlaut, sharp s,
    // the euro sign at 0x80 and the right quote at 0x92.
    WriteBytes(Path, "[G]\r\nName = Gr\xFC\xDF"
                     "e \x80\x92\r\n");
    ASSERT_EQ(OpenDocument(Doc, Path), 1);
    SelectGroup(Doc, "G");
    EXPECT_EQ(ReadText(Doc, "Name", ""), "Gr\xC3\xBC\xC3\x9F"
                                         "e \xE2\x82\xAC\xE2\x80\x99");

    // Three bytes of mark and nothing else: an empty document. Two bytes are
    // too short to be a mark and are code-page text.
    WriteBytes(Path, Bom);
    ASSERT_EQ(OpenDocument(Doc, Path), 1);
    EXPECT_TRUE(Doc.Entries.empty());
    WriteBytes(Path, "\xEF\xBB");
    ASSERT_EQ(OpenDocument(Doc, Path), 1);
    ASSERT_EQ(Doc.Entries.size(), 1u);
    EXPECT_EQ(Doc.Entries[0].Name, "\xC3\xAF\xC2\xBB");

    EXPECT_EQ(OpenDocument(Doc, Folder.Path() + "missing.txt"), 0);
    EXPECT_TRUE(Doc.Entries.empty());
}

TEST(SettingsDocument, WriterLayout)
{
    ScratchFolder Folder;
    std::string Path = Folder.Path() + "out.txt";
    Document Doc;
    CreateDocument(Doc, Path);
    WriteComment(Doc, "Header");
    SelectGroup(Doc, "First");
    WriteText(Doc, "Name", "value");
    WriteInteger(Doc, "Count", -12);
    WriteComment(Doc, "inside");
    SelectGroup(Doc, "Second");
    WriteInteger(Doc, "Zero", 0);
    SelectGroup(Doc, "Unused"); // noted, never written: no line
    std::string Expected = Bom + "\r\n; Header\r\n[First]\r\nName = value\r\nCount = -12\r\n; inside\r\n"
                                 "[Second]\r\nZero = 0\r\n";
    EXPECT_EQ(SerialiseDocument(Doc), Expected);
    EXPECT_FALSE(std::filesystem::exists(Path)); // nothing on disk before the close
    EXPECT_EQ(CloseDocument(Doc), 1);
    EXPECT_EQ(ReadBytes(Path), Expected);
}

TEST(SettingsDocument, WriterSelectingAGroupAgainKeepsItsKeysTogether)
{
    Document Doc;
    CreateDocument(Doc, "unused");
    SelectGroup(Doc, "A");
    WriteText(Doc, "x", "1");
    SelectGroup(Doc, "B");
    WriteText(Doc, "y", "2");
    SelectGroup(Doc, "a");
    WriteText(Doc, "z", "3");
    WriteText(Doc, "X", "4"); // an existing key gets the new value
    WriteComment(Doc, "end of A");
    EXPECT_EQ(SerialiseDocument(Doc), Bom + "\r\n[A]\r\nx = 4\r\nz = 3\r\n; end of A\r\n[B]\r\ny = 2\r\n");
}

TEST(SettingsDocument, WrittenFileReadsBackAndFailedWriteKeepsOldFile)
{
    ScratchFolder Folder;
    std::string Path = Folder.Path() + "round.txt";
    Document Doc;
    CreateDocument(Doc, Path);
    SelectGroup(Doc, "Data");
    WriteText(Doc, "Text", "  spaced  ");
    WriteInteger(Doc, "Big", int64_t(1) << 40);
    ASSERT_EQ(CloseDocument(Doc), 1);
    ASSERT_EQ(OpenDocument(Doc, Path), 1);
    ASSERT_EQ(SelectGroup(Doc, "data"), 1);
    EXPECT_EQ(ReadText(Doc, "Text", ""), "spaced  "); // blanks after "=" belong to the separator
    EXPECT_EQ(ReadInteger(Doc, "Big", 0), int64_t(1) << 40);
    CloseDocument(Doc);

    CreateDocument(Doc, Folder.Path() + "no such folder/round.txt");
    SelectGroup(Doc, "Data");
    WriteText(Doc, "Text", "x");
    EXPECT_EQ(CloseDocument(Doc), 0);
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() + "no such folder"));
}

// Whatever the reader makes of a text, writing it back and reading again
// gives the same entries: names never keep blanks or line breaks that the
// writer's "Key = Value" form would lose.
TEST(SettingsDocument, ReadWriteReadIsStable)
{
    const char Alphabet[] = {' ', '\t', ';', '[', ']', '=', '\r', '\n', 'a', 'Z', '0', '\xC3', '\xA9', '\0'};
    std::mt19937 Random(20240601);
    for (int Round = 0; Round < 2000; Round++) {
        std::string Text;
        int Length = int(Random() % 80);
        for (int I = 0; I < Length; I++)
            Text += Alphabet[Random() % sizeof Alphabet];
        Document First;
        ParseDocument(First, Text);
        std::string Written = SerialiseDocument(First);
        ASSERT_EQ(Written.compare(0, 5, Bom + "\r\n"), 0);
        Document Second;
        ParseDocument(Second, Written.substr(3));
        ASSERT_EQ(Second.Entries.size(), First.Entries.size()) << "round " << Round;
        for (size_t I = 0; I < First.Entries.size(); I++) {
            EXPECT_EQ(Second.Entries[I].Kind, First.Entries[I].Kind) << "round " << Round << " entry " << I;
            EXPECT_EQ(Second.Entries[I].Name, First.Entries[I].Name) << "round " << Round << " entry " << I;
            EXPECT_EQ(Second.Entries[I].Value, First.Entries[I].Value) << "round " << Round << " entry " << I;
        }
    }
}
