// Zip archives through libarchive: the language source may be one. Every
// call opens the archive, walks its entries in order and closes it again;
// the language scan touches a handful of small entries only.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <archive.h>
#include <archive_entry.h>
#include <cstring>

// Block size libarchive reads the file with.
static constexpr size_t ZipReadBlock = 16384;
// Largest entry ZipExtractToFile unpacks (it holds the entry in memory to
// write it atomically): the document reader refuses anything larger anyway,
// and language files are a few kilobytes. An entry that inflates further is
// given up as soon as this much has come out.
static constexpr int64_t ZipFileEntryLimit = 1024 * 1024;

static archive* OpenZip(const std::string& Path);
static int FindEntry(archive* Zip, const std::string& Name, archive_entry** Found);

int ZipListFiles(const std::string& Archive, std::vector<std::string>& Names)
{
    Names.clear();
    archive* Zip = OpenZip(Archive);
    if (Zip == nullptr) {
        return 0;
    }
    archive_entry* Entry = nullptr;
    int Result = 0;
    for (;;) {
        int Step = archive_read_next_header(Zip, &Entry);
        if (Step == ARCHIVE_EOF) {
            Result = 1;
            break;
        }
        if (Step < ARCHIVE_WARN) {
            break;
        }
        const char* Name = archive_entry_pathname(Entry);
        if (archive_entry_filetype(Entry) == AE_IFREG && Name != nullptr && Name[0] != '\0') {
            Names.emplace_back(Name);
        }
        archive_read_data_skip(Zip);
    }
    archive_read_free(Zip);
    if (!Result) {
        Names.clear();
    }
    return Result;
}

int ZipExtractToFile(const std::string& Archive, const std::string& Entry, const std::string& Path)
{
    archive* Zip = OpenZip(Archive);
    if (Zip == nullptr) {
        return 0;
    }
    archive_entry* Found = nullptr;
    if (!FindEntry(Zip, Entry, &Found) ||
        (archive_entry_size_is_set(Found) && archive_entry_size(Found) > ZipFileEntryLimit)) {
        archive_read_free(Zip);
        return 0;
    }
    std::vector<uint8_t> Bytes;
    uint8_t Chunk[ZipReadBlock];
    int Ok = 1;
    for (;;) {
        la_ssize_t Got = archive_read_data(Zip, Chunk, sizeof Chunk);
        if (Got == 0) {
            break;
        }
        if (Got < 0 || int64_t(Bytes.size()) + Got > ZipFileEntryLimit) {
            Ok = 0;
            break;
        }
        Bytes.insert(Bytes.end(), Chunk, Chunk + Got);
    }
    archive_read_free(Zip);
    // The caller's name is a fresh one in the temporary folder, read once and
    // deleted: no need to sync it to the disk.
    return Ok && WriteTemporaryFile(Path, Bytes.data(), Bytes.size());
}

int64_t ZipExtractToMemory(const std::string& Archive, const std::string& Entry, uint8_t* Buffer, size_t Capacity)
{
    archive* Zip = OpenZip(Archive);
    if (Zip == nullptr) {
        return -1;
    }
    archive_entry* Found = nullptr;
    int Search = FindEntry(Zip, Entry, &Found);
    if (Search <= 0) {
        archive_read_free(Zip);
        return Search == 0 ? 0 : -1;
    }
    if (archive_entry_size_is_set(Found) && uint64_t(archive_entry_size(Found)) > Capacity) {
        archive_read_free(Zip);
        return -1;
    }
    size_t Filled = 0;
    int64_t Result = 0;
    for (;;) {
        uint8_t Probe = 0;
        // Reading straight into the caller's buffer; once it is full one more
        // byte is asked for, to tell an entry that fits from one that is larger.
        uint8_t* Target = Filled < Capacity ? Buffer + Filled : &Probe;
        size_t Room = Filled < Capacity ? Capacity - Filled : 1;
        la_ssize_t Got = archive_read_data(Zip, Target, Room);
        if (Got == 0) {
            Result = int64_t(Filled);
            break;
        }
        if (Got < 0 || Filled >= Capacity) {
            Result = -1;
            break;
        }
        Filled += size_t(Got);
    }
    archive_read_free(Zip);
    return Result;
}

static archive* OpenZip(const std::string& Path)
{
    if (Path.empty()) {
        return nullptr;
    }
    archive* Zip = archive_read_new();
    if (Zip == nullptr) {
        return nullptr;
    }
    if (archive_read_support_format_zip(Zip) != ARCHIVE_OK ||
#ifdef _WIN32
        archive_read_open_filename_w(Zip, WidePath(Path).c_str(), ZipReadBlock) != ARCHIVE_OK) {
#else
        archive_read_open_filename(Zip, Path.c_str(), ZipReadBlock) != ARCHIVE_OK) {
#endif
        archive_read_free(Zip);
        return nullptr;
    }
    return Zip;
}

// Advances to the first regular-file entry named Name (compared byte for
// byte). 1 found, 0 not in the archive, -1 the archive is damaged.
static int FindEntry(archive* Zip, const std::string& Name, archive_entry** Found)
{
    archive_entry* Entry = nullptr;
    for (;;) {
        int Step = archive_read_next_header(Zip, &Entry);
        if (Step == ARCHIVE_EOF) {
            return 0;
        }
        if (Step < ARCHIVE_WARN) {
            return -1;
        }
        const char* EntryName = archive_entry_pathname(Entry);
        if (archive_entry_filetype(Entry) == AE_IFREG && EntryName != nullptr && Name == EntryName) {
            *Found = Entry;
            return 1;
        }
        archive_read_data_skip(Zip);
    }
}
