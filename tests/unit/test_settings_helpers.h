// Small file helpers shared by the settings and log tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// A fresh empty folder under the system temporary folder, removed at the end
// of the test. Path ends with "/".
struct ScratchFolder {
    std::filesystem::path Root;
    ScratchFolder()
    {
        std::random_device Device;
        Root = std::filesystem::temp_directory_path() /
               ("kistora-settings-test-" + std::to_string(Device()) + "-" + std::to_string(Device()));
        std::filesystem::create_directories(Root);
    }
    ~ScratchFolder()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(Root, Ignored);
    }
    std::string Path() const { return Root.string() + "/"; }
};

inline void WriteBytes(const std::string& Path, const std::string& Bytes)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(Bytes.data(), std::streamsize(Bytes.size()));
}

inline std::string ReadBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline bool HavePython()
{
    return std::system("python3 -c \"import zipfile\" >/dev/null 2>&1") == 0;
}
