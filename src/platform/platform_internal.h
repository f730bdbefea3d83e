// Shared between the platform's own files only; nothing outside src/platform
// includes this header.
#pragma once

#include <SDL.h>
#include <cstdint>
#include <filesystem>
#include <string>

// input.cpp: keyboard and gamepad events taken from SDL's queue by PumpEvents.
void InputHandleEvent(const SDL_Event& Event);
// sound.cpp, input.cpp: closed by PlatformShutdown.
void SoundShutdown();
void InputShutdown();
// worker.cpp: the second core. PostWork queues Function(Argument) and returns
// a ticket (0 when it was done at once, for want of a worker or of room);
// FinishWork waits for it, or does it on the calling thread when the worker
// has not begun it yet. Every posted piece must be finished. A thread waiting
// in FinishWork meanwhile does other queued pieces, unless they were posted
// with Helped = 0 (pictures decoded ahead: they allocate, and are for later).
using WorkFunction = void (*)(void* Argument);
int PostWork(WorkFunction Function, void* Argument, int Helped = 1);
void FinishWork(int Ticket);
void WorkerShutdown();

// files_posix.cpp / files_windows.cpp: the file calls whose form differs
// between the systems, under the portable logic of files.cpp. Paths are UTF-8
// (Windows: turned into UTF-16 for the wide-character calls). A NativeFile is
// a descriptor or a handle, NoNativeFile when none.
using NativeFile = intptr_t;
constexpr NativeFile NoNativeFile = -1;
NativeFile NativeOpenRead(const std::string& Path); // regular files only
int64_t NativeFileLength(NativeFile File);          // -1 on failure
// New, empty, private to this process while written: a name beside Path that
// no file has yet, given back in Name.
NativeFile NativeCreateBeside(const std::string& Path, std::string& Name);
// Opened for writing, created when missing, emptied when there.
NativeFile NativeOpenWrite(const std::string& Path);
// Opened for writing without truncating, then taken for this process alone
// (another live run that holds it makes this fail, and its content stays)
// and only then emptied.
NativeFile NativeOpenExclusive(const std::string& Path);
int64_t NativeRead(NativeFile File, void* Into, size_t Count);      // bytes, 0 at the end, -1 on error
int NativeWriteAll(NativeFile File, const void* Data, size_t Size); // 1 or 0
int NativeSync(NativeFile File);
int NativeClose(NativeFile File);
// Renames From over To, replacing To in one step; 1 or 0.
int NativeReplace(const std::string& From, const std::string& To);
// 1 once the folder's entries are on the disk (where the system can say so).
int NativeSyncFolder(const std::string& Folder);
int NativeDelete(const std::string& Path);
int NativeKind(const std::string& Path);       // 0 missing, 1 a file, 2 a folder (links followed)
int NativeMakeFolder(const std::string& Path); // 1 made, 0 failed (also when it exists)
int NativeMatchName(const std::string& Name, const std::string& Pattern); // "*", "?", case ignored
std::string NativeErrorText();                                            // the last failed call's reason, in words
void NativeFilesPrepare();                                                // once before the first write
// std::filesystem paths from and to UTF-8.
std::filesystem::path NativePath(const std::string& Path);
std::string Utf8Path(const std::filesystem::path& Path);
#ifdef _WIN32
// files_windows.cpp: UTF-8 to and from the UTF-16 of the wide-character calls
// (an empty result for text that is not UTF-8).
std::wstring WidePath(const std::string& Path);
std::string Utf8FromWide(const wchar_t* Wide, size_t Length);
// system_windows.cpp: the system's fonts folder (ends with a backslash, "" if
// unknown), and the capital of a code point by Windows' case table.
std::string WindowsFontsFolder();
uint32_t WindowsUpperCase(uint32_t CodePoint);
#endif
