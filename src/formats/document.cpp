// Grouped key-value text documents: "[Group]" lines, "Key = Value" lines and
// "; comment" lines. The preferences file and the language files use them.
// Only one document is open at a time; reading parses the whole file at once,
// writing keeps the entries in memory until CloseDocument writes the file.
#include "formats/formats.h"
#include "platform/platform.h"

// A document file larger than this is refused (the open fails): the
// preferences take a few hundred bytes and a language file a few kilobytes,
// and this keeps the parsed entries of a hostile file to some tens of MiB.
static const size_t MaxDocumentBytes = 1 << 20;

static std::string CodePageToUtf8(const uint8_t* Bytes, size_t Size);
static int SameNameIgnoringCase(const std::string& A, const std::string& B);
static int IsBlank(char C);
static void ParseLine(Document& Doc, const std::string& Line);
static int FindKeyInSelectedGroup(const Document& Doc, const std::string& Key);
static int GroupEnd(const Document& Doc, int GroupIndex);
static void AddPendingGroup(Document& Doc);
static void AddEntry(Document& Doc, int Kind, const std::string& Name, const std::string& Value);

int OpenDocument(Document& Doc, const std::string& Path)
{
    Doc = Document();
    Doc.Path = Path;
    std::vector<uint8_t> Bytes;
    if (ReadFileLimited(Path, Bytes, MaxDocumentBytes, 0) != 1)
        return 0;
    std::string Text;
    if (Bytes.size() > 2 && Bytes[0] == 0xEF && Bytes[1] == 0xBB && Bytes[2] == 0xBF)
        Text.assign(reinterpret_cast<const char*>(Bytes.data()) + 3, Bytes.size() - 3);
    else
        Text = CodePageToUtf8(Bytes.data(), Bytes.size());
    ParseDocument(Doc, Text);
    return 1;
}

// The text is UTF-8 already (the byte-order mark is not part of it).
void ParseDocument(Document& Doc, const std::string& Bytes)
{
    Doc.Entries.clear();
    Doc.SelectedGroup = -1;
    Doc.PendingGroup.clear();
    Doc.GroupCursor = -1;
    Doc.KeyCursor = -1;
    size_t Index = 0, Length = Bytes.size();
    // One entry per line at most: reserving them keeps the list from holding
    // twice its size while it grows.
    size_t Lines = 1;
    for (char C : Bytes)
        Lines += C == '\n';
    Doc.Entries.reserve(Lines);
    while (Index < Length) {
        size_t End = Index;
        while (End < Length && Bytes[End] != '\r' && Bytes[End] != '\n')
            End++;
        if (End > Index)
            ParseLine(Doc, Bytes.substr(Index, End - Index));
        // A run of CR and LF bytes, whatever the mix, is one line break.
        while (End < Length && (Bytes[End] == '\r' || Bytes[End] == '\n'))
            End++;
        Index = End;
    }
}

void CreateDocument(Document& Doc, const std::string& Path)
{
    Doc = Document();
    Doc.Path = Path;
    Doc.ForWriting = 1;
}

// Reading: the first group of that name, case of ASCII letters ignored; 1 when
// found, else 0 and every read gives its default. Writing: a group that exists
// is selected again, a new one is only noted until something is written.
int SelectGroup(Document& Doc, const std::string& Group)
{
    Doc.SelectedGroup = -1;
    Doc.PendingGroup.clear();
    for (size_t I = 0; I < Doc.Entries.size(); I++) {
        if (Doc.Entries[I].Kind == EntryGroup && SameNameIgnoringCase(Doc.Entries[I].Name, Group)) {
            Doc.SelectedGroup = int(I);
            return 1;
        }
    }
    if (Doc.ForWriting) {
        Doc.PendingGroup = Group;
        return 1;
    }
    return 0;
}

std::string ReadText(Document& Doc, const std::string& Key, const std::string& Default)
{
    int Index = FindKeyInSelectedGroup(Doc, Key);
    return Index < 0 ? Default : Doc.Entries[size_t(Index)].Value;
}

// The leading decimal number of the value; a value that does not start with
// one ("on") reads as 0. Only a missing key gives the default.
int64_t ReadInteger(Document& Doc, const std::string& Key, int64_t Default)
{
    int Index = FindKeyInSelectedGroup(Doc, Key);
    return Index < 0 ? Default : ParseDecimalNumber(Doc.Entries[size_t(Index)].Value);
}

// A key already in the selected group gets the new value; otherwise the key is
// added at the end of that group.
void WriteText(Document& Doc, const std::string& Key, const std::string& Value)
{
    AddPendingGroup(Doc);
    int Existing = FindKeyInSelectedGroup(Doc, Key);
    if (Existing >= 0) {
        Doc.Entries[size_t(Existing)].Value = Value;
        return;
    }
    AddEntry(Doc, EntryKey, Key, Value);
}

void WriteInteger(Document& Doc, const std::string& Key, int64_t Value)
{
    WriteText(Doc, Key, std::to_string(Value));
}

// Before any group selection the comment goes in front of everything written
// later (so it sits above the group line).
void WriteComment(Document& Doc, const std::string& Text)
{
    AddPendingGroup(Doc);
    AddEntry(Doc, EntryComment, "", Text);
}

// Group enumeration makes the group it stands on the selected one, so that
// FirstKey/NextKey and the reads work inside it.
int FirstGroup(Document& Doc)
{
    Doc.GroupCursor = -1;
    Doc.KeyCursor = -1;
    return NextGroup(Doc);
}

int NextGroup(Document& Doc)
{
    Doc.KeyCursor = -1;
    for (size_t I = size_t(Doc.GroupCursor + 1); I < Doc.Entries.size(); I++) {
        if (Doc.Entries[I].Kind == EntryGroup) {
            Doc.GroupCursor = int(I);
            Doc.SelectedGroup = int(I);
            return 1;
        }
    }
    Doc.GroupCursor = int(Doc.Entries.size());
    return 0;
}

std::string CurrentGroupName(const Document& Doc)
{
    if (Doc.GroupCursor < 0 || size_t(Doc.GroupCursor) >= Doc.Entries.size())
        return "";
    return Doc.Entries[size_t(Doc.GroupCursor)].Name;
}

// Keys of the selected group in file order; comments are passed over and the
// next group line ends the walk. Lines before the first group are never seen.
int FirstKey(Document& Doc)
{
    Doc.KeyCursor = Doc.SelectedGroup;
    if (Doc.SelectedGroup < 0)
        return 0;
    return NextKey(Doc);
}

int NextKey(Document& Doc)
{
    if (Doc.KeyCursor < 0)
        return 0;
    for (size_t I = size_t(Doc.KeyCursor + 1); I < Doc.Entries.size(); I++) {
        if (Doc.Entries[I].Kind == EntryGroup)
            break;
        if (Doc.Entries[I].Kind == EntryKey) {
            Doc.KeyCursor = int(I);
            return 1;
        }
    }
    Doc.KeyCursor = -1;
    return 0;
}

std::string CurrentKeyName(const Document& Doc)
{
    if (Doc.KeyCursor < 0 || size_t(Doc.KeyCursor) >= Doc.Entries.size())
        return "";
    return Doc.Entries[size_t(Doc.KeyCursor)].Name;
}

std::string CurrentKeyValue(const Document& Doc)
{
    if (Doc.KeyCursor < 0 || size_t(Doc.KeyCursor) >= Doc.Entries.size())
        return "";
    return Doc.Entries[size_t(Doc.KeyCursor)].Value;
}

// EF BB BF and CR LF, then one CR LF-terminated line per entry. The empty
// first line after the mark is part of the format (the game has always
// written it), as is the blank on each side of "=".
std::string SerialiseDocument(const Document& Doc)
{
    std::string Out = "\xEF\xBB\xBF\r\n";
    for (const DocumentEntry& Entry : Doc.Entries) {
        if (Entry.Kind == EntryGroup)
            Out += "[" + Entry.Name + "]";
        else if (Entry.Kind == EntryComment)
            Out += "; " + Entry.Value;
        else
            Out += Entry.Name + " = " + Entry.Value;
        Out += "\r\n";
    }
    return Out;
}

// A document created for writing is written now, through a temporary file
// beside it that replaces the old one only when complete. Reading documents
// just let go of their entries. 1 or 0 (write failed: the old file stays).
int CloseDocument(Document& Doc)
{
    int Result = 1;
    if (Doc.ForWriting) {
        std::string Bytes = SerialiseDocument(Doc);
        Result = WriteFileAtomic(Doc.Path, Bytes.data(), Bytes.size());
    }
    Doc = Document();
    return Result;
}

// Windows-1252 to UTF-8. The five bytes that code page leaves undefined (81,
// 8D, 8F, 90, 9D) become the C1 controls of the same number, as Windows does.
static std::string CodePageToUtf8(const uint8_t* Bytes, size_t Size)
{
    static const uint16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::string Out;
    Out.reserve(Size + Size / 8);
    for (size_t I = 0; I < Size; I++) {
        uint8_t Byte = Bytes[I];
        if (Byte < 0x80)
            Out += char(Byte);
        else if (Byte < 0xA0)
            AppendUtf8(Out, High[Byte - 0x80]);
        else
            AppendUtf8(Out, Byte);
    }
    return Out;
}

// Group and key names compare with the case of ASCII letters ignored; other
// bytes (UTF-8 sequences) must match exactly.
static int SameNameIgnoringCase(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return 0;
    for (size_t I = 0; I < A.size(); I++) {
        char X = A[I], Y = B[I];
        if (X >= 'A' && X <= 'Z')
            X = char(X - 'A' + 'a');
        if (Y >= 'A' && Y <= 'Z')
            Y = char(Y - 'A' + 'a');
        if (X != Y)
            return 0;
    }
    return 1;
}

static int IsBlank(char C)
{
    return C == ' ' || C == '\t';
}

// One line without its line break: comment, group, key, or nothing.
static void ParseLine(Document& Doc, const std::string& Line)
{
    size_t Start = 0;
    while (Start < Line.size() && IsBlank(Line[Start]))
        Start++;
    if (Start == Line.size())
        return;
    if (Line[Start] == ';') {
        size_t Text = Start + 1;
        if (Text < Line.size() && Line[Text] == ' ')
            Text++;
        AddEntry(Doc, EntryComment, "", Line.substr(Text));
        return;
    }
    if (Line[Start] == '[') {
        size_t Close = Line.find(']', Start + 1);
        if (Close == std::string::npos)
            Close = Line.size();
        AddEntry(Doc, EntryGroup, Line.substr(Start + 1, Close - Start - 1), "");
        return;
    }
    // Without "=" the whole line is the name and the value is empty; either
    // way the name ends without blanks, so a line written back reads the same.
    size_t Equals = Line.find('=', Start);
    size_t NameEnd = Equals == std::string::npos ? Line.size() : Equals;
    while (NameEnd > Start && IsBlank(Line[NameEnd - 1]))
        NameEnd--;
    if (Equals == std::string::npos) {
        AddEntry(Doc, EntryKey, Line.substr(Start, NameEnd - Start), "");
        return;
    }
    size_t ValueStart = Equals + 1;
    while (ValueStart < Line.size() && IsBlank(Line[ValueStart]))
        ValueStart++;
    AddEntry(Doc, EntryKey, Line.substr(Start, NameEnd - Start), Line.substr(ValueStart));
}

// From the selected group's line to the next group line; the first key whose
// name matches wins. -1 when there is no selected group or no such key.
static int FindKeyInSelectedGroup(const Document& Doc, const std::string& Key)
{
    if (Doc.SelectedGroup < 0)
        return -1;
    int End = GroupEnd(Doc, Doc.SelectedGroup);
    for (int I = Doc.SelectedGroup + 1; I < End; I++) {
        const DocumentEntry& Entry = Doc.Entries[size_t(I)];
        if (Entry.Kind == EntryKey && SameNameIgnoringCase(Entry.Name, Key))
            return I;
    }
    return -1;
}

// Index of the next group line after GroupIndex, or the entry count.
static int GroupEnd(const Document& Doc, int GroupIndex)
{
    for (size_t I = size_t(GroupIndex + 1); I < Doc.Entries.size(); I++) {
        if (Doc.Entries[I].Kind == EntryGroup)
            return int(I);
    }
    return int(Doc.Entries.size());
}

// The noted group line goes in just before the first entry written after the
// selection.
static void AddPendingGroup(Document& Doc)
{
    if (Doc.PendingGroup.empty())
        return;
    Doc.Entries.push_back({EntryGroup, Doc.PendingGroup, ""});
    Doc.SelectedGroup = int(Doc.Entries.size()) - 1;
    Doc.PendingGroup.clear();
}

// Reading appends in file order; writing into a selected group inserts at the
// end of that group, so a group selected again keeps its keys together.
static void AddEntry(Document& Doc, int Kind, const std::string& Name, const std::string& Value)
{
    DocumentEntry Entry{Kind, Name, Value};
    if (Doc.ForWriting && Doc.SelectedGroup >= 0) {
        int End = GroupEnd(Doc, Doc.SelectedGroup);
        Doc.Entries.insert(Doc.Entries.begin() + End, Entry);
        return;
    }
    Doc.Entries.push_back(Entry);
}
