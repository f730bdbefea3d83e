// kistora-pack: create, list, extract and verify pack containers.
//   kistora-pack create ARCHIVE [--stored|--level N] [--version 1|2] [--block-size B] NAME=FILE... | FOLDER...
//   kistora-pack list ARCHIVE
//   kistora-pack extract ARCHIVE NAME [-o FILE]
//   kistora-pack verify ARCHIVE
#include "formats/formats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packwriter.h"

// Content is packed at the strongest level: the compressor is quick enough for
// our ~20 MB of mostly already-compressed pictures and music.
static constexpr int DefaultLevel = 10;

static int Usage()
{
    std::fprintf(stderr, "usage: kistora-pack create ARCHIVE [--stored|--level N] [--version 1|2] [--block-size B] "
                         "NAME=FILE...|FOLDER...\n"
                         "       kistora-pack list ARCHIVE\n"
                         "       kistora-pack extract ARCHIVE NAME [-o FILE]\n"
                         "       kistora-pack verify ARCHIVE\n");
    return 2;
}

static int ReadFileBytes(const std::string& Path, std::vector<uint8_t>& Bytes)
{
    std::ifstream File(Path, std::ios::binary);
    if (!File)
        return 0;
    Bytes.assign(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
    return File.bad() ? 0 : 1;
}

static int ParseCount(const char* Text, uint64_t* Value)
{
    char* End = nullptr;
    unsigned long long Parsed = std::strtoull(Text, &End, 10);
    if (End == Text || *End != 0)
        return 0;
    *Value = Parsed;
    return 1;
}

static int Create(int Count, char** Args)
{
    if (Count < 1)
        return Usage();
    std::string Archive = Args[0];
    PackOptions Options;
    Options.Level = DefaultLevel;
    std::vector<PackInput> Entries;
    for (int Index = 1; Index < Count; Index++) {
        std::string Arg = Args[Index];
        uint64_t Value = 0;
        if (Arg == "--stored") {
            Options.Level = 0;
        } else if (Arg == "--level" || Arg == "--version" || Arg == "--block-size") {
            if (Index + 1 >= Count || !ParseCount(Args[Index + 1], &Value))
                return Usage();
            Index++;
            if (Arg == "--level") {
                if (Value > 10)
                    return Usage();
                Options.Level = int(Value);
            } else if (Arg == "--version") {
                if (Value != 1 && Value != 2)
                    return Usage();
                Options.Version = int(Value);
            } else {
                if (Value == 0)
                    return Usage();
                Options.BlockSize = Value;
            }
        } else if (Arg.find('=') != std::string::npos) {
            size_t Equals = Arg.find('=');
            PackInput Entry;
            Entry.Name = Arg.substr(0, Equals);
            if (!ReadFileBytes(Arg.substr(Equals + 1), Entry.Bytes)) {
                std::fprintf(stderr, "kistora-pack: cannot read %s\n", Arg.substr(Equals + 1).c_str());
                return 1;
            }
            Entries.push_back(std::move(Entry));
        } else if (std::filesystem::is_directory(Arg)) {
            // Every file below the folder, named by its relative path with "/".
            std::vector<std::filesystem::path> Files;
            std::error_code Error;
            for (const auto& Item : std::filesystem::recursive_directory_iterator(Arg, Error)) {
                if (Item.is_regular_file())
                    Files.push_back(Item.path());
            }
            std::sort(Files.begin(), Files.end());
            for (const auto& File : Files) {
                PackInput Entry;
                Entry.Name = std::filesystem::relative(File, Arg).generic_string();
                if (!ReadFileBytes(File.string(), Entry.Bytes)) {
                    std::fprintf(stderr, "kistora-pack: cannot read %s\n", File.string().c_str());
                    return 1;
                }
                Entries.push_back(std::move(Entry));
            }
        } else if (std::filesystem::is_regular_file(Arg)) {
            PackInput Entry;
            Entry.Name = std::filesystem::path(Arg).filename().string();
            if (!ReadFileBytes(Arg, Entry.Bytes))
                return 1;
            Entries.push_back(std::move(Entry));
        } else {
            std::fprintf(stderr, "kistora-pack: not a NAME=FILE, file or folder: %s\n", Arg.c_str());
            return 1;
        }
    }
    if (!WritePackFile(Archive, Entries, Options)) {
        std::fprintf(stderr, "kistora-pack: cannot write %s\n", Archive.c_str());
        return 1;
    }
    return 0;
}

// Reads the archive into memory and lists its entries; Handle stays open for the caller.
static int OpenForReading(const std::string& Path, std::vector<uint8_t>& Bytes, int* Handle)
{
    if (!ReadFileBytes(Path, Bytes)) {
        std::fprintf(stderr, "kistora-pack: cannot read %s\n", Path.c_str());
        return 0;
    }
    *Handle = OpenArchiveMemory(Bytes.data(), Bytes.size());
    if (*Handle == 0) {
        std::fprintf(stderr, "kistora-pack: %s is not a pack container\n", Path.c_str());
        return 0;
    }
    return 1;
}

// The largest entry extract and verify unpack (1 TiB: any real one).
static constexpr uint64_t EntryLimit = uint64_t(1) << 40;

static int List(const std::string& Path)
{
    std::vector<uint8_t> Bytes;
    int Handle = 0;
    if (!OpenForReading(Path, Bytes, &Handle))
        return 1;
    for (const PackEntry& Entry : *ArchiveEntries(Handle)) {
        const char* Method = Entry.StoredSize == Entry.UnpackedSize ? "stored" : "1zlb";
        std::printf("%s\t%llu\t%llu\t%s\n", Entry.Name.c_str(), (unsigned long long)Entry.UnpackedSize,
                    (unsigned long long)Entry.StoredSize, Method);
    }
    CloseArchive(Handle);
    return 0;
}

static int Extract(int Count, char** Args)
{
    if (Count != 2 && !(Count == 4 && std::strcmp(Args[2], "-o") == 0))
        return Usage();
    std::vector<uint8_t> Bytes;
    int Handle = 0;
    if (!OpenForReading(Args[0], Bytes, &Handle))
        return 1;
    std::string Name = Args[1];
    std::vector<uint8_t> Content;
    // The first entry of a name wins, as in the game.
    int Found = FindPackEntry(Handle, Name) >= 0;
    int Good = ReadPackEntry(Handle, Name, Content, EntryLimit);
    CloseArchive(Handle);
    if (!Found || !Good) {
        std::fprintf(stderr, "kistora-pack: %s: %s\n", Name.c_str(), Found ? "corrupt entry" : "no such entry");
        return 1;
    }
    if (Count == 4) {
        std::ofstream Out(Args[3], std::ios::binary);
        Out.write(reinterpret_cast<const char*>(Content.data()), std::streamsize(Content.size()));
        if (!Out) {
            std::fprintf(stderr, "kistora-pack: cannot write %s\n", Args[3]);
            return 1;
        }
        return 0;
    }
    return std::fwrite(Content.data(), 1, Content.size(), stdout) == Content.size() ? 0 : 1;
}

static int Verify(const std::string& Path)
{
    std::vector<uint8_t> Bytes;
    int Handle = 0;
    if (!OpenForReading(Path, Bytes, &Handle))
        return 1;
    int Bad = 0;
    uint64_t End = 4;
    std::vector<uint8_t> Content;
    int Position = 0;
    for (const PackEntry& Entry : *ArchiveEntries(Handle)) {
        if (!ReadPackEntryAt(Handle, Position++, Content, EntryLimit)) {
            std::printf("%s\tBAD\n", Entry.Name.c_str());
            Bad++;
        }
        End = Entry.Offset + Entry.StoredSize;
    }
    if (End != Bytes.size()) {
        std::printf("(directory)\tBAD: %llu bytes after the last entry\n",
                    (unsigned long long)(Bytes.size() - std::min<uint64_t>(End, Bytes.size())));
        Bad++;
    }
    std::printf("%zu entries, %d bad\n", ArchiveEntries(Handle)->size(), Bad);
    CloseArchive(Handle);
    return Bad == 0 ? 0 : 1;
}

int main(int ArgCount, char** Args)
{
    if (ArgCount < 3)
        return Usage();
    std::string Command = Args[1];
    if (Command == "create")
        return Create(ArgCount - 2, Args + 2);
    if (Command == "list" && ArgCount == 3)
        return List(Args[2]);
    if (Command == "extract")
        return Extract(ArgCount - 2, Args + 2);
    if (Command == "verify" && ArgCount == 3)
        return Verify(Args[2]);
    return Usage();
}
