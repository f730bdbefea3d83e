// kistora-langpack OUTPUT FILE...
// Writes the language source Kistora.languages: a zip archive (libarchive)
// holding each FILE at its root under its own file name (en_GB.language,
// en_GB.flag, ...). Refuses what the game could not use: a language file
// without the UTF-8 byte-order mark, or a flag over the 16,000 bytes the game
// reads a flag into. The zip is written beside OUTPUT and renamed over it.
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t FlagLimit = 16000;      // bytes: the game's flag buffer
constexpr time_t FixedTime = 1767225600; // 2026-01-01: the same sources give the same bytes

struct PackFile {
    std::string Name; // entry name at the archive root
    std::string Bytes;
};

} // namespace

static int ReadWhole(const std::string& Path, std::string& Bytes);
static std::string BaseName(const std::string& Path);
static int EndsWith(const std::string& Text, const std::string& Tail);
static int WriteZip(const std::string& Path, const std::vector<PackFile>& Files);

int main(int Argc, char** Argv)
{
    if (Argc < 3) {
        std::fprintf(stderr, "usage: kistora-langpack OUTPUT.languages FILE...\n");
        return 2;
    }
    std::vector<PackFile> Files;
    for (int I = 2; I < Argc; I++) {
        PackFile F;
        F.Name = BaseName(Argv[I]);
        if (!ReadWhole(Argv[I], F.Bytes)) {
            std::fprintf(stderr, "kistora-langpack: cannot read %s\n", Argv[I]);
            return 1;
        }
        for (const PackFile& Earlier : Files)
            if (Earlier.Name == F.Name) {
                std::fprintf(stderr, "kistora-langpack: %s given twice\n", F.Name.c_str());
                return 1;
            }
        if (EndsWith(F.Name, ".language") && F.Bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
            std::fprintf(stderr, "kistora-langpack: %s does not start with the UTF-8 byte-order mark\n", Argv[I]);
            return 1;
        }
        if (EndsWith(F.Name, ".flag") && (F.Bytes.empty() || F.Bytes.size() > FlagLimit)) {
            std::fprintf(stderr, "kistora-langpack: %s is %zu bytes; a flag must hold 1 to %zu bytes\n", Argv[I],
                         F.Bytes.size(), FlagLimit);
            return 1;
        }
        Files.push_back(F);
    }
    if (!WriteZip(Argv[1], Files))
        return 1;
    std::printf("kistora-langpack: %s: %zu files\n", Argv[1], Files.size());
    return 0;
}

static int ReadWhole(const std::string& Path, std::string& Bytes)
{
    Bytes.clear();
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return 0;
    std::stringstream Buffer;
    Buffer << In.rdbuf();
    Bytes = Buffer.str();
    return !In.bad();
}

static std::string BaseName(const std::string& Path)
{
    size_t Slash = Path.find_last_of("/\\");
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

static int EndsWith(const std::string& Text, const std::string& Tail)
{
    return Text.size() >= Tail.size() && Text.compare(Text.size() - Tail.size(), Tail.size(), Tail) == 0;
}

static int WriteZip(const std::string& Path, const std::vector<PackFile>& Files)
{
    std::string Temp = Path + ".part";
    struct archive* Zip = archive_write_new();
    int Ok = Zip && archive_write_set_format_zip(Zip) == ARCHIVE_OK &&
             archive_write_zip_set_compression_deflate(Zip) == ARCHIVE_OK &&
             archive_write_open_filename(Zip, Temp.c_str()) == ARCHIVE_OK;
    for (size_t I = 0; Ok && I < Files.size(); I++) {
        struct archive_entry* Entry = archive_entry_new();
        archive_entry_set_pathname(Entry, Files[I].Name.c_str());
        archive_entry_set_size(Entry, la_int64_t(Files[I].Bytes.size()));
        archive_entry_set_filetype(Entry, AE_IFREG);
        archive_entry_set_perm(Entry, 0644);
        archive_entry_set_mtime(Entry, FixedTime, 0);
        Ok = archive_write_header(Zip, Entry) == ARCHIVE_OK &&
             archive_write_data(Zip, Files[I].Bytes.data(), Files[I].Bytes.size()) == la_ssize_t(Files[I].Bytes.size());
        archive_entry_free(Entry);
    }
    if (Zip) {
        if (Ok && archive_write_close(Zip) != ARCHIVE_OK)
            Ok = 0;
        if (!Ok)
            std::fprintf(stderr, "kistora-langpack: %s\n",
                         archive_error_string(Zip) ? archive_error_string(Zip) : "cannot write");
        archive_write_free(Zip);
    }
    if (Ok && std::rename(Temp.c_str(), Path.c_str()) != 0)
        Ok = 0;
    if (!Ok) {
        std::remove(Temp.c_str());
        std::fprintf(stderr, "kistora-langpack: cannot write %s\n", Path.c_str());
    }
    return Ok;
}
