// The diagnostic log of one run: "Log <start time>.log" in SaveTo, UTF-8
// without byte-order mark, CR LF line ends, labelled lines as label + two tabs
// + value. Written only when the game was started with "/LOG".
#include "base/base.h"
#include "platform/platform.h"

std::string LogTimeStamp;
const char* const LogModuleVersion = "1.2";

static int LogFile = 0;    // buffered file handle, 0 while no log is open
static int LogEnabled = 0; // switched on only after the file was created

// Creates (or replaces) the log file and writes its first line. 1 or 0; on 0
// the handle stays 0 and logging can never be switched on. One log per run:
// while one is open a second open is refused.
int LogOpen(const std::string& FileName, const std::string& FirstLine)
{
    if (LogFile)
        return 0;
    int File = CreateLockedFile(FileName);
    if (!File)
        return 0;
    std::string Line = FirstLine + "\r\n";
    if (!WriteToFile(File, Line.data(), Line.size())) {
        CloseFile(File);
        return 0;
    }
    LogFile = File;
    return 1;
}

void LogEnable()
{
    if (LogFile)
        LogEnabled = 1;
}

// Appends Text and CR LF while logging is on. A write that fails means the
// file is gone: logging goes off silently for the rest of the run.
void LogLine(const std::string& Text)
{
    if (!LogEnabled)
        return;
    std::string Line = Text + "\r\n";
    if (!WriteToFile(LogFile, Line.data(), Line.size())) {
        LogEnabled = 0;
        LogFile = 0;
    }
}

// Count tab characters; below 1 the empty text.
std::string Tabs(int Count)
{
    return Count < 1 ? std::string() : std::string(size_t(Count), '\t');
}

void LogValue(const std::string& Label, const std::string& Value)
{
    LogLine(Label + Tabs(2) + Value);
}

void LogValue(const std::string& Label, int64_t Value)
{
    LogLine(Label + Tabs(2) + std::to_string(Value));
}

int LoggingOn()
{
    return LogEnabled;
}

void LogClose()
{
    if (LogFile)
        CloseFile(LogFile);
    LogFile = 0;
    LogEnabled = 0;
}
