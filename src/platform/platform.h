// The platform layer: the only code that talks to SDL2, SDL_mixer, SDL_ttf,
// FreeType, fontconfig, libpng and libarchive. Everything above it sees plain
// functions and integer handles (0 or -1 meaning none).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Colours are packed 0xRRGGBBAA.
constexpr uint32_t Rgba(int R, int G, int B, int A = 255)
{
    return (uint32_t(R & 255) << 24) | (uint32_t(G & 255) << 16) | (uint32_t(B & 255) << 8) | uint32_t(A & 255);
}

// ---------------------------------------------------------------------------
// platform.cpp: services and the headless (scripted) mode
// ---------------------------------------------------------------------------

// Overrides used by the scripted driver and the tests. Set before PlatformInit.
struct PlatformOverrides {
    int Headless = 0;     // 1: SDL dummy video and audio, virtual clock, no frame limiter
    std::string GameDir;  // replaces the executable's folder when not empty (ends with "/")
    std::string UserDir;  // replaces the per-user data folder when not empty (ends with "/")
    int DesktopWidth = 0; // what DesktopSize reports when not 0
    int DesktopHeight = 0;
    int SaveStepDelayMs = 0; // > 0: WriteFileAtomic pauses this long at each step (the kill test)
};
extern PlatformOverrides Overrides;

// Starts SDL's event and timer core (video is started by InitSprite). 1 or 0.
int PlatformInit();
// Releases every service: screen, window, sound, joystick, open files (flushes them).
void PlatformShutdown();
// Ends the process with the given status after PlatformShutdown.
[[noreturn]] void PlatformExit(int Status);

// ---------------------------------------------------------------------------
// screen.cpp: screen, window, frame limiter, window events
// ---------------------------------------------------------------------------

enum ScreenModeKind { ModeFullScreen = 0, ModeWindowed = 1, ModeBorderless = 2 };

enum WindowEventKind {
    WindowEventNone = 0,
    WindowEventRepaint,
    WindowEventMinimised,
    WindowEventRestored,
    WindowEventActivated,
    WindowEventDeactivated,
    WindowEventClose,
};

int InitSprite(); // video + renderer service; 1 or 0
int DesktopCount();
int DesktopSize(int Index, int* Width, int* Height); // 1 or 0
// Opens the screen (and for windowed and borderless modes the window, created
// hidden). Windowed: captioned, close and minimise box, not resizable, centred,
// at the display's top-left when larger. Borderless covers the desktop. The
// back buffer is a W x H render target that keeps its content between frames.
int OpenScreen(int Mode, int Width, int Height, const std::string& Title);
void CloseScreen(); // destroys every sprite and the window
int ScreenIsOpen();
void ShowScreenWindow(); // show and activate
void MinimiseScreenWindow();
void ShowMouseCursor(int Show);
int ScreenActive();                     // 0 while the game lacks the focus
void SetFrameRate(int FramesPerSecond); // frame limiter (skipped when headless)
void PresentScreen();                   // back buffer to the display, then waits for the limiter
void SetFilteredSampling(int On);       // linear filtering for scaled and rotated sprites
// Reads SDL's event queue: keyboard and gamepad state are updated, window
// events are queued. NextWindowEvent returns them one by one (0 when empty).
void PumpEvents();
int NextWindowEvent();
// Keeps a copy of Image as the icon of the screen's window, now and at every
// later opening. 1 or 0 (no such image: the system's icon stays).
int SetWindowIcon(int Image);
// Grabs the back buffer (W x H from (0, 0)) and writes it as PNG (atomic). 1 or 0.
int SaveScreenshot(const std::string& Path);
// Copies the back buffer as 0xRRGGBBAA pixels (for tests and the scripted driver).
int ReadBackBuffer(std::vector<uint32_t>& Pixels, int* Width, int* Height);

// ---------------------------------------------------------------------------
// image.cpp, text.cpp: off-screen CPU images and vector text
// ---------------------------------------------------------------------------

int CreateImage(int Width, int Height, uint32_t Fill); // handle or 0
int LoadImagePng(const uint8_t* Data, size_t Size);    // decodes PNG bytes; handle or 0
// Decoding on the second core, for pictures needed a little later: the bytes
// must stay as they are until the job is taken. With Width and Height the
// picture is resampled smoothly to that size (as ResizeImage); with Width
// alone to that width and the height in proportion, rounded (a picture
// already that wide is kept as it is). Returns a job (> 0), or 0 when none
// could be queued (then decode with LoadImagePng).
int QueueImageDecode(const uint8_t* Data, size_t Size, int Width, int Height);
// The image of a queued job (waiting for it, or decoding it here if it has
// not begun): handle or 0 when the bytes did not decode. The job is done with.
int TakeDecodedImage(int Job);
// The width and height a PNG file's header claims, without decoding it. 1 or 0.
int PngPictureSize(const uint8_t* Data, size_t Size, int* Width, int* Height);
// The one PNG codec of the game and its tools (png.cpp). Decodes PNG bytes
// (any bit depth, palette, grey, with or without alpha or tRNS) into
// 0xRRGGBBAA pixels; HasAlpha = 1 when the file carries alpha (an alpha
// channel or tRNS). 1 or 0; on 0 the outputs are empty/zero.
int DecodePng(const uint8_t* Data, size_t Size, std::vector<uint32_t>& Pixels, int* Width, int* Height, int* HasAlpha);
// Encodes 0xRRGGBBAA pixels as an 8-bit RGB (WithAlpha = 0) or RGBA PNG. 1 or 0.
int EncodePng(const uint32_t* Pixels, int Width, int Height, int WithAlpha, std::vector<uint8_t>& Bytes);
void FreeImage(int Image);
int ImageWidth(int Image);
int ImageHeight(int Image);
const uint32_t* ImagePixels(int Image);                        // row-major 0xRRGGBBAA, or nullptr
int ResizeImage(int Image, int Width, int Height);             // smooth resampling in place; 1 or 0
int CropImage(int Image, int X, int Y, int Width, int Height); // new image or 0
void FillImageRect(int Image, int X, int Y, int Width, int Height, uint32_t Colour);
// Draws Source scaled to Width x Height at (X, Y) onto Target, blended by its alpha
// (Opaque = 1 copies without blending).
void DrawImageOnImage(int Target, int Source, int X, int Y, int Width, int Height, int Opaque);

// Vector text: "Arial" bold from fontconfig (Liberation Sans Bold when absent),
// measured and drawn antialiased by SDL_ttf (kerned), size in pixels (em).
int InitFont(); // 1 or 0
// Width and height of one line: the width in whole pixels as SDL_ttf
// measures the line, the height the font's line height at that size.
void MeasureText(const std::string& Utf8, double SizePx, double* Width, double* Height);
// Height of the visible glyphs of the text (bounding box of the outlines).
double MeasureTextInk(const std::string& Utf8, double SizePx);
// One line with its top-left corner at (X, Y).
void DrawText(int Image, const std::string& Utf8, double X, double Y, double SizePx, uint32_t Colour);
// Lines split at line feeds and wrapped at the blanks that fit the box width
// (never at a no-break space), each centred in the box, the first at the top
// of the box. Every line that starts inside the box is drawn whole: its
// descenders and a word wider than the box are cut only by the image's edge.
void DrawParagraph(int Image, const std::string& Utf8, double X, double Y, double BoxWidth, double BoxHeight,
                   double SizePx, uint32_t Colour);
// The text in capital letters by the C library's full Unicode case mapping
// (Č, Ł, Greek, Cyrillic included); letters without a single capital and
// bytes that are not UTF-8 pass unchanged.
std::string UpperCaseText(const std::string& Utf8);
// Appends CodePoint (up to U+10FFFF) to Out as UTF-8.
void AppendUtf8(std::string& Out, uint32_t CodePoint);

// ---------------------------------------------------------------------------
// sprite.cpp: numbered sprite slots (textures on the current screen)
// ---------------------------------------------------------------------------

enum SpriteTransparency { SpriteColourKey = 0, SpriteOwnAlpha = 1 };

// Slot 0 asks for a free handle (1000 and up); a slot in use is replaced.
// Colour key: alpha 0 exactly where RGB is 0,0,0. Own alpha keeps the picture's
// alpha channel (a picture without one is colour-keyed).
int CreateSpriteFromPng(int Slot, const uint8_t* Data, size_t Size, int Transparency);
int CreateSpriteFromImage(int Slot, int Image, int Transparency);
int CreateEmptySprite(int Slot, int Width, int Height); // fully transparent
// A sprite of the image's size made of the image's own pixels, alpha as it is
// (what CreateEmptySprite and CopyImageToSprite of the whole image give); the
// image is freed. Handle or 0 (the image is then left alone).
int MoveImageToSprite(int Slot, int Image);
// A deferred sprite: Render(Sprite, Argument) fills it (CopyImageToSprite)
// the first time it is shown, and again whenever it is shown after the
// platform has taken its pixels back for memory (it keeps only the few most
// recently shown deferred sprites drawn). Render must draw the same picture
// each time; changing a deferred sprite's pixels from outside its renderer
// makes it an ordinary sprite.
using SpriteRenderFunction = void (*)(int Sprite, int Argument);
int CreateDeferredSprite(int Slot, int Width, int Height, SpriteRenderFunction Render, int Argument);
// Makes ready (reserves, without touching) the buffers deferred sprites of
// this size are drawn into, so that showing them later allocates nothing.
void ReserveDeferredPixels(int Width, int Height);
// Makes Sprite deferred with a new renderer; its present pixels are dropped.
void SetSpriteRenderer(int Sprite, SpriteRenderFunction Render, int Argument);
// 1 when the sprite holds its pixels now (a deferred sprite drawn and kept).
int SpritePixelsHeld(int Sprite);
int CopySprite(int Slot, int Source); // new slot with the same pixels and size
void FreeSprite(int Sprite);
int SpriteExists(int Sprite);
int SpriteWidth(int Sprite); // display width (after zoom)
int SpriteHeight(int Sprite);
void CopyImageToSprite(int Sprite, int Image); // image pixels into the sprite at (0, 0)
void FillSprite(int Sprite, uint32_t Colour);
void SetSpriteKeyColour(int Sprite, uint32_t Colour); // pixels of that RGB become transparent
void ZoomSprite(int Sprite, int Width, int Height);   // display size
void ResizeSprite(int Sprite, int Width, int Height); // resamples the pixels once (smooth)
void TurnSprite(int Sprite, double Degrees);          // relative to the current angle, about the centre
// Drawing onto the back buffer.
void ShowSprite(int Sprite, int X, int Y);                             // plain: no blending
void ShowSpriteIntensity(int Sprite, int X, int Y, int Intensity);     // 0-255 brightness, with transparency
void ShowSpriteTransparent(int Sprite, int X, int Y, int Alpha = 255); // blended by alpha x global alpha

// ---------------------------------------------------------------------------
// sound.cpp: output through SDL_mixer (44.1 kHz stereo 16-bit)
// ---------------------------------------------------------------------------

enum ChannelStatusKind { ChannelStopped = 0, ChannelPlaying = 1, ChannelPaused = 2 };

int InitSound(); // 1 or 0
// Loads WAV or Ogg Vorbis held in memory into sound number Number (0 to
// 4095; the bytes are copied). WAV is decoded now; Ogg Vorbis is music, kept
// compressed and decoded as it plays. Damaged or other bytes: 0, and the
// sound already in that slot stays.
int LoadSoundFromMemory(int Number, const uint8_t* Data, size_t Size);
// A new handle (> 0, never reused in a run), or 0. Effects may overlap; music
// plays one track at a time, so starting a track ends the one before.
int PlaySound(int Number, int Loop);
int ChannelStatus(int Channel);
int ChannelSound(int Channel); // sound number on a playing or paused channel, else -1
void PauseChannel(int Channel);
void ResumeChannel(int Channel);
void StopChannel(int Channel);

// ---------------------------------------------------------------------------
// input.cpp: keyboard and gamepad
// ---------------------------------------------------------------------------

enum GameKey { KeyLeft = 0, KeyRight, KeyUp, KeyDown, KeyReturn, KeyEscape, KeySpace, KeyS, KeyM, KeyCount };

int InitKeyboard();                    // 1 or 0
void ExamineKeyboard();                // snapshot of held and released keys
int KeyHeld(int Key);                  // down in this examination
int KeyReleased(int Key);              // went up since the previous examination
int InitJoystick();                    // (re)detects gamepads; returns the count
int ExamineJoystick(int Number);       // 1 or 0
int GamepadAxisX(int Number, int Pad); // -1, 0, +1 (dead zone applied)
int GamepadAxisY(int Number, int Pad);
int GamepadButton(int Number, int Button); // 1 while down

// Scripted input (headless driver): the same paths as real events.
void ScriptKey(int Key, int Down);
void ScriptAxis(int Axis, int Value); // Axis 0 = X, 1 = Y
void ScriptButton(int Button, int Down);
void ScriptWindowEvent(int Event);
void ScriptFocus(int Active);

// ---------------------------------------------------------------------------
// clock.cpp: time
// ---------------------------------------------------------------------------

int64_t MilliClock();           // 64-bit milliseconds
void SleepMs(int Milliseconds); // no-op when headless
// Local date and time with the masks %yyyy %mm %dd %hh %ii %ss.
std::string FormatDate(const std::string& Mask);
// Headless: MilliClock reads floor(n x 1000 / 60) after n frames.
void AdvanceVirtualFrame();
int64_t VirtualFrameCount();
void ResetVirtualClock(); // back to frame 0 (tests, driver start)
// The mask filled from given fields (Month 1-12); FormatDate passes local time.
std::string FormatDateTime(const std::string& Mask, int Year, int Month, int Day, int Hour, int Minute, int Second);

// ---------------------------------------------------------------------------
// files.cpp, system.cpp, archive.cpp: files, folders, system details, zip
// ---------------------------------------------------------------------------

// Folders end with the system's separator: a slash on Linux, a backslash on
// Windows (where a slash inside a path is read as one too).
std::string ExecutableFolder(); // ends with a separator
// The XDG data home, or Windows' roaming application data; no separator at
// the end; "" if unknown.
std::string RoamingDataFolder();
std::string HomeFolder();                                             // ends with a separator
std::string TempFolder();                                             // ends with a separator
int IsFolderSeparator(char C);                                        // a slash, and on Windows a backslash too
std::string NativeFolderPath(const std::string& Path);                // "/" written as the system writes it
std::string NormalPath(const std::string& Path);                      // "." and ".." steps resolved in the text
std::FILE* OpenFileStream(const std::string& Path, const char* Mode); // fopen for UTF-8 paths
int FileExists(const std::string& Path);                              // file or folder
int FolderExists(const std::string& Path);
int64_t FileSize(const std::string& Path); // -1 when missing
int CreateFolder(const std::string& Path); // 1 or 0
// Files directly in Folder whose names match Pattern ("*.language"), case
// ignored; names only, sorted.
std::vector<std::string> ListFiles(const std::string& Folder, const std::string& Pattern);
int ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Bytes); // 1 or 0
// At most MaxBytes: a larger file gives -1 (no bytes), or with Prefix 1 its
// first MaxBytes bytes and 1; 0 when missing or unreadable.
int ReadFileLimited(const std::string& Path, std::vector<uint8_t>& Bytes, size_t MaxBytes, int Prefix);
// Writes a temporary file beside Path, syncs it and the folder, then renames
// it over Path. 1 or 0 (the old file untouched, no temporary file left).
int WriteFileAtomic(const std::string& Path, const void* Data, size_t Size);
// A file written without syncing, for short-lived temporary files; an old
// file of that name is replaced. 1 or 0 (nothing left behind).
int WriteTemporaryFile(const std::string& Path, const void* Data, size_t Size);
// Why the last WriteFileAtomic failed, for example "write: File too large".
std::string LastSaveError();
int DeleteFile(const std::string& Path);

// Buffered files for the log: a 4096-byte write buffer, flushed when full and
// at close. CreateLockedFile replaces the file unless another process holds it.
int CreateLockedFile(const std::string& Path);            // handle or 0
int WriteToFile(int File, const void* Data, size_t Size); // 1 or 0
void CloseFile(int File);
void CloseAllFiles();

// Message box with one OK button; standard error when there is no display.
void ShowMessageBox(const std::string& Title, const std::string& Text);

std::string CpuName();
int CpuCoresTotal();
int CpuCoresAvailable();
int64_t PhysicalMemoryBytes();
int64_t FreeMemoryBytes();
int OperatingSystemCode();
// "en-US" from LC_ALL / LC_MESSAGES / LANG, or the user's Windows locale; "" if none.
std::string UserLocaleName();
// The program's arguments (the program's name first) in UTF-8; on Windows read
// from the wide-character command line, whatever the user's code page.
std::vector<std::string> CommandLineArguments(int Count, char** Arguments);

// Zip archives (the language source).
int ZipListFiles(const std::string& Archive, std::vector<std::string>& Names); // 1 or 0
int ZipExtractToFile(const std::string& Archive, const std::string& Entry, const std::string& Path);
// Unpacks an entry into Buffer; returns its size, 0 when missing, -1 on error or overflow.
int64_t ZipExtractToMemory(const std::string& Archive, const std::string& Entry, uint8_t* Buffer, size_t Capacity);
