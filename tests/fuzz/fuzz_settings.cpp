// Fuzzes the grouped key-value reader and the number parser: the input is a
// document's text (UTF-8 as in memory). Every group and key is enumerated and
// looked up, the document is written back and read again, and the result must
// hold the same entries.
#include "formats/formats.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    std::string Text(reinterpret_cast<const char*>(Data), Size);
    (void)ParseNumber(Text);
    (void)ParseDecimalNumber(Text);
    Document Doc;
    ParseDocument(Doc, Text);
    for (int Group = FirstGroup(Doc); Group; Group = NextGroup(Doc)) {
        std::string Name = CurrentGroupName(Doc);
        for (int Key = FirstKey(Doc); Key; Key = NextKey(Doc)) {
            std::string KeyName = CurrentKeyName(Doc);
            (void)ReadText(Doc, KeyName, "");
            (void)ReadInteger(Doc, KeyName, 0);
            (void)ParseNumber(CurrentKeyValue(Doc));
        }
        if (SelectGroup(Doc, Name) != 1)
            __builtin_trap();
    }
    std::string Written = SerialiseDocument(Doc);
    Document Again;
    ParseDocument(Again, Written.substr(3));
    if (Again.Entries.size() != Doc.Entries.size())
        __builtin_trap();
    for (size_t I = 0; I < Doc.Entries.size(); I++) {
        if (Again.Entries[I].Kind != Doc.Entries[I].Kind || Again.Entries[I].Name != Doc.Entries[I].Name ||
            Again.Entries[I].Value != Doc.Entries[I].Value)
            __builtin_trap();
    }
    return 0;
}
