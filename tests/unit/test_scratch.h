// A folder of the test's own under the system's temporary folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>

// Made fresh for each test and removed at its end. It is also removed when the
// process ends through exit(): that is how a death test's child leaves after a
// fatal error, and it never unwinds to the destructor. Path() ends with "/".
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& Prefix = "kistora-test")
    {
        std::random_device Device;
        Root = std::filesystem::temp_directory_path() /
               (Prefix + "-" + std::to_string(Device()) + "-" + std::to_string(Device()));
        std::filesystem::create_directories(Root);
        std::lock_guard<std::mutex> Lock(LiveMutex());
        static const int Registered = std::atexit(RemoveLive);
        (void)Registered;
        Live().insert(Root.string());
    }
    ~ScratchFolder()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(Root, Ignored);
        std::lock_guard<std::mutex> Lock(LiveMutex());
        Live().erase(Root.string());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path() const
    {
        return Root.string() + "/";
    }
    std::filesystem::path Root;

  private:
    static std::set<std::string>& Live()
    {
        // Never destroyed: the exit handler may run after static destructors.
        static auto* Folders = new std::set<std::string>;
        return *Folders;
    }
    static std::mutex& LiveMutex()
    {
        static auto* Mutex = new std::mutex;
        return *Mutex;
    }
    static void RemoveLive()
    {
        std::error_code Ignored;
        for (const std::string& Folder : Live())
            std::filesystem::remove_all(Folder, Ignored);
        Live().clear();
    }
};

// Sets an environment variable for one test and puts the old value back.
class EnvironmentValue {
  public:
    EnvironmentValue(const char* Name, const char* Value) : Name_(Name)
    {
        if (const char* Old = std::getenv(Name))
            Old_ = Old;
        Set(Name, Value);
    }
    ~EnvironmentValue()
    {
        Set(Name_.c_str(), Old_ ? Old_->c_str() : nullptr);
    }

  private:
    static void Set(const char* Name, const char* Value)
    {
#ifdef _WIN32
        _putenv_s(Name, Value != nullptr ? Value : ""); // "" removes it
#else
        if (Value)
            setenv(Name, Value, 1);
        else
            unsetenv(Name);
#endif
    }

    std::string Name_;
    std::optional<std::string> Old_;
};
