// Pictures of one X window for the window tests (renderers.sh): grab it,
// wait until it settles, and compare two pictures within a tolerance.
//
//   window-screens grab WINDOW OUT.ppm
//   window-screens settle WINDOW OUT.ppm [AREA...] [--quiet MS] [--timeout MS]
//                  [--differ FROM.ppm] [--want X,Y,RRGGBB]
//   window-screens diff A.ppm B.ppm [AREA...] [--tolerance N] [--allow M] [--out DIFF.ppm]
//   window-screens png IN.ppm OUT.png
//
// AREA is --watch X,Y,W,H (only these rectangles count; several add up, none
// means the whole picture) or --mask X,Y,W,H (left out, over every --watch).
//
// settle grabs the window after each picture the game puts on it (the X
// damage it reports) and ends, writing the last grab, once the counted pixels
// have stayed the same over --frames pictures (default 6, as long as a panel
// slides in) and --quiet ms (default 250): a game slowed down by a busy
// machine is waited for, never caught in the middle of a slide. With --differ only after they first
// differed from FROM.ppm (the screen has answered a key), with --want only
// while pixel (X, Y) has that colour. A window that stops being drawn to
// while nothing changes counts as settled after 3 s. Status 1 after
// --timeout ms (default 15000) without that.
//
// diff counts the counted pixels where some channel differs by more than
// --tolerance (default 0) and fails (status 1) when more than --allow
// (default 0) do. --out writes a picture of the differences: red over the
// tolerance, yellow within it, the first picture darkened where equal, dark
// blue where not counted. Status 2 for unreadable pictures or wrong arguments.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Rgb; // Width * Height * 3 bytes, rows from the top
};

struct Rect {
    int X = 0, Y = 0, W = 0, H = 0;
};

struct Areas {
    std::vector<Rect> Watch;
    std::vector<Rect> Mask;
};

int GrabError = 0;

int NoteXError(Display*, XErrorEvent*)
{
    GrabError = 1;
    return 0;
}

int ReadPicture(const std::string& Path, Picture& Out)
{
    Out = Picture{};
    std::FILE* File = std::fopen(Path.c_str(), "rb");
    if (File == nullptr)
        return 0;
    int Width = 0, Height = 0, Max = 0;
    int Ok = std::fscanf(File, "P6 %d %d %d", &Width, &Height, &Max) == 3 && Width > 0 && Height > 0 && Max == 255 &&
             std::fgetc(File) != EOF;
    if (Ok) {
        Out.Width = Width;
        Out.Height = Height;
        Out.Rgb.resize(size_t(Width) * size_t(Height) * 3);
        Ok = std::fread(Out.Rgb.data(), 1, Out.Rgb.size(), File) == Out.Rgb.size();
    }
    std::fclose(File);
    return Ok;
}

int WritePicture(const std::string& Path, const Picture& In)
{
    std::string Temporary = Path + ".part";
    std::FILE* File = std::fopen(Temporary.c_str(), "wb");
    if (File == nullptr)
        return 0;
    std::fprintf(File, "P6\n%d %d\n255\n", In.Width, In.Height);
    int Ok = std::fwrite(In.Rgb.data(), 1, In.Rgb.size(), File) == In.Rgb.size();
    Ok = std::fclose(File) == 0 && Ok;
    return Ok && std::rename(Temporary.c_str(), Path.c_str()) == 0;
}

// The lowest set bit of a channel mask, and the channel's value scaled to 0..255.
int Channel(unsigned long Pixel, unsigned long Mask)
{
    if (Mask == 0)
        return 0;
    int Shift = 0;
    while (((Mask >> Shift) & 1) == 0)
        Shift++;
    unsigned long Top = Mask >> Shift;
    return int(((Pixel & Mask) >> Shift) * 255 / Top);
}

int Grab(Display* X, Window Id, Picture& Out)
{
    GrabError = 0;
    XWindowAttributes Attributes;
    if (!XGetWindowAttributes(X, Id, &Attributes) || GrabError || Attributes.map_state != IsViewable)
        return 0;
    XImage* Image = XGetImage(X, Id, 0, 0, unsigned(Attributes.width), unsigned(Attributes.height), AllPlanes, ZPixmap);
    XSync(X, False);
    if (Image == nullptr || GrabError) {
        if (Image != nullptr)
            XDestroyImage(Image);
        return 0;
    }
    Out.Width = Image->width;
    Out.Height = Image->height;
    Out.Rgb.resize(size_t(Out.Width) * size_t(Out.Height) * 3);
    uint8_t* To = Out.Rgb.data();
    // The usual 24-bit screen: 32-bit pixels 0x00RRGGBB in the machine's order.
    int Plain = Image->bits_per_pixel == 32 && Image->red_mask == 0xff0000 && Image->green_mask == 0xff00 &&
                Image->blue_mask == 0xff && Image->byte_order == LSBFirst;
    for (int Y = 0; Y < Out.Height; Y++) {
        const uint8_t* Row = reinterpret_cast<const uint8_t*>(Image->data) + size_t(Y) * size_t(Image->bytes_per_line);
        for (int X0 = 0; X0 < Out.Width; X0++) {
            if (Plain) {
                *To++ = Row[4 * X0 + 2];
                *To++ = Row[4 * X0 + 1];
                *To++ = Row[4 * X0];
                continue;
            }
            unsigned long Pixel = XGetPixel(Image, X0, Y);
            *To++ = uint8_t(Channel(Pixel, Image->red_mask));
            *To++ = uint8_t(Channel(Pixel, Image->green_mask));
            *To++ = uint8_t(Channel(Pixel, Image->blue_mask));
        }
    }
    XDestroyImage(Image);
    return 1;
}

int Inside(const Rect& R, int X, int Y)
{
    return X >= R.X && X < R.X + R.W && Y >= R.Y && Y < R.Y + R.H;
}

// 1 when pixel (X, Y) counts.
int Counted(const Areas& A, int X, int Y)
{
    for (const Rect& R : A.Mask)
        if (Inside(R, X, Y))
            return 0;
    if (A.Watch.empty())
        return 1;
    for (const Rect& R : A.Watch)
        if (Inside(R, X, Y))
            return 1;
    return 0;
}

int SameCounted(const Picture& A, const Picture& B, const Areas& Where)
{
    if (A.Width != B.Width || A.Height != B.Height)
        return 0;
    for (int Y = 0; Y < A.Height; Y++)
        for (int X = 0; X < A.Width; X++) {
            size_t At = (size_t(Y) * size_t(A.Width) + size_t(X)) * 3;
            if (std::memcmp(&A.Rgb[At], &B.Rgb[At], 3) != 0 && Counted(Where, X, Y))
                return 0;
        }
    return 1;
}

int ParseRect(const char* Text, Rect& Out)
{
    return std::sscanf(Text, "%d,%d,%d,%d", &Out.X, &Out.Y, &Out.W, &Out.H) == 4 && Out.W > 0 && Out.H > 0;
}

int Usage()
{
    std::fputs("usage: window-screens grab WINDOW OUT.ppm\n"
               "       window-screens settle WINDOW OUT.ppm [--watch|--mask X,Y,W,H]... [--frames N] [--quiet MS]\n"
               "                      [--timeout MS]"
               " [--differ FROM.ppm] [--want X,Y,RRGGBB]\n"
               "       window-screens diff A.ppm B.ppm [--watch|--mask X,Y,W,H]... [--tolerance N] [--allow M]"
               " [--out DIFF.ppm]\n"
               "       window-screens png IN.ppm OUT.png\n",
               stderr);
    return 2;
}

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Options {
    Areas Where;
    long Quiet = 250, Frames = 6, Timeout = 15000, Tolerance = 0, Allow = 0;
    std::string Differ, Out;
    int WantX = -1, WantY = -1;
    unsigned WantColour = 0;
};

// Reads the options from Argv[First] on; 0 for an unknown or malformed one.
int ParseOptions(int Argc, char** Argv, int First, Options& O)
{
    for (int I = First; I < Argc; I++) {
        std::string Name = Argv[I];
        if (I + 1 >= Argc)
            return 0;
        const char* Value = Argv[++I];
        Rect R;
        if (Name == "--watch" && ParseRect(Value, R))
            O.Where.Watch.push_back(R);
        else if (Name == "--mask" && ParseRect(Value, R))
            O.Where.Mask.push_back(R);
        else if (Name == "--quiet")
            O.Quiet = std::atol(Value);
        else if (Name == "--frames")
            O.Frames = std::atol(Value);
        else if (Name == "--timeout")
            O.Timeout = std::atol(Value);
        else if (Name == "--tolerance")
            O.Tolerance = std::atol(Value);
        else if (Name == "--allow")
            O.Allow = std::atol(Value);
        else if (Name == "--differ")
            O.Differ = Value;
        else if (Name == "--out")
            O.Out = Value;
        else if (Name == "--want" && std::sscanf(Value, "%d,%d,%x", &O.WantX, &O.WantY, &O.WantColour) == 3)
            continue;
        else
            return 0;
    }
    return 1;
}

int Wanted(const Picture& P, const Options& O)
{
    if (O.WantX < 0)
        return 1;
    if (O.WantX >= P.Width || O.WantY < 0 || O.WantY >= P.Height)
        return 0;
    const uint8_t* Px = &P.Rgb[(size_t(O.WantY) * size_t(P.Width) + size_t(O.WantX)) * 3];
    return Px[0] == ((O.WantColour >> 16) & 255) && Px[1] == ((O.WantColour >> 8) & 255) &&
           Px[2] == (O.WantColour & 255);
}

// The number of damage reports waiting (each a picture, or a part of one,
// put on the window), all taken off the queue.
int TakeDamage(Display* X, int DamageEvent)
{
    int Count = 0;
    while (XPending(X) > 0) {
        XEvent Event;
        XNextEvent(X, &Event);
        if (Event.type == DamageEvent + XDamageNotify)
            Count++;
    }
    return Count;
}

// Waits up to Ms for something from the X server (a damage report), at least
// 10 ms so that a game drawing fast is not grabbed more often than it draws.
void WaitForDamage(Display* X, int Ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (XPending(X) > 0)
        return;
    pollfd Connection{ConnectionNumber(X), POLLIN, 0};
    poll(&Connection, 1, Ms - 10);
}

int GrabOrSettle(int Settle, const char* WindowText, const std::string& OutPath, const Options& O)
{
    Display* X = XOpenDisplay(nullptr);
    if (X == nullptr) {
        std::fputs("window-screens: no X display\n", stderr);
        return 2;
    }
    XSetErrorHandler(NoteXError);
    Window Id = Window(std::strtoul(WindowText, nullptr, 0));
    Picture From;
    if (Settle && !O.Differ.empty() && !ReadPicture(O.Differ, From)) {
        std::fprintf(stderr, "window-screens: cannot read %s\n", O.Differ.c_str());
        XCloseDisplay(X);
        return 2;
    }
    int DamageEvent = 0, DamageError = 0;
    Damage Watcher = 0;
    if (Settle && XDamageQueryExtension(X, &DamageEvent, &DamageError)) {
        Watcher = XDamageCreate(X, Id, XDamageReportRawRectangles);
        XSync(X, False);
    }
    Picture Last, Now;
    int HaveLast = 0, Changed = O.Differ.empty();
    // Pictures put on the window since the counted pixels last changed.
    long Frames = 0;
    long long Start = NowMs(), Steady = Start;
    int Result = 1;
    while (true) {
        int Damaged = Watcher != 0 ? TakeDamage(X, DamageEvent) : 1;
        if (!Grab(X, Id, Now)) {
            std::fprintf(stderr, "window-screens: window %s cannot be grabbed\n", WindowText);
            Result = 2;
            break;
        }
        long long At = NowMs();
        if (!Settle) {
            Last = Now;
            HaveLast = 1;
            Result = 0;
            break;
        }
        if (!Changed && !SameCounted(Now, From, O.Where))
            Changed = 1;
        if (!HaveLast || !SameCounted(Now, Last, O.Where)) {
            Steady = At;
            Frames = 0;
        } else if (Damaged > 0) {
            Frames++;
        }
        Last = Now;
        HaveLast = 1;
        int Quiet = At - Steady >= O.Quiet && (Frames >= O.Frames || At - Steady >= 3000);
        if (Changed && Wanted(Now, O) && Quiet) {
            Result = 0;
            break;
        }
        if (At - Start >= O.Timeout) {
            std::fprintf(stderr, "window-screens: not settled after %ld ms (%s)\n", O.Timeout,
                         !Changed          ? "no change from the picture before"
                         : !Wanted(Now, O) ? "the wanted pixel is not there"
                                           : "still changing");
            break;
        }
        WaitForDamage(X, Watcher != 0 ? 100 : 40);
    }
    if (Watcher != 0)
        XDamageDestroy(X, Watcher);
    XCloseDisplay(X);
    if (HaveLast && !WritePicture(OutPath, Last)) {
        std::fprintf(stderr, "window-screens: cannot write %s\n", OutPath.c_str());
        return 2;
    }
    return Result;
}

uint32_t Crc32(const uint8_t* Data, size_t Size, uint32_t Crc = 0)
{
    Crc = ~Crc;
    for (size_t I = 0; I < Size; I++) {
        Crc ^= Data[I];
        for (int Bit = 0; Bit < 8; Bit++)
            Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
    }
    return ~Crc;
}

void PutBigEndian(std::vector<uint8_t>& To, uint32_t Value)
{
    for (int Shift = 24; Shift >= 0; Shift -= 8)
        To.push_back(uint8_t(Value >> Shift));
}

void PutChunk(std::vector<uint8_t>& To, const char* Type, const std::vector<uint8_t>& Data)
{
    PutBigEndian(To, uint32_t(Data.size()));
    size_t Start = To.size();
    To.insert(To.end(), Type, Type + 4);
    To.insert(To.end(), Data.begin(), Data.end());
    PutBigEndian(To, Crc32(&To[Start], To.size() - Start));
}

// A PNG of the picture, its pixels stored uncompressed (deflate's stored
// blocks), for a person to look at; nothing here reads it back.
int WritePng(const std::string& Path, const Picture& In)
{
    std::vector<uint8_t> Raw;
    Raw.reserve(size_t(In.Height) * (size_t(In.Width) * 3 + 1));
    for (int Y = 0; Y < In.Height; Y++) {
        Raw.push_back(0);
        const uint8_t* Row = &In.Rgb[size_t(Y) * size_t(In.Width) * 3];
        Raw.insert(Raw.end(), Row, Row + size_t(In.Width) * 3);
    }
    std::vector<uint8_t> Z = {0x78, 0x01};
    for (size_t At = 0; At < Raw.size() || At == 0; At += 65535) {
        size_t Size = std::min<size_t>(65535, Raw.size() - At);
        Z.push_back(At + Size >= Raw.size() ? 1 : 0);
        Z.push_back(uint8_t(Size));
        Z.push_back(uint8_t(Size >> 8));
        Z.push_back(uint8_t(~Size));
        Z.push_back(uint8_t(~Size >> 8));
        Z.insert(Z.end(), Raw.begin() + long(At), Raw.begin() + long(At + Size));
        if (Size == 0)
            break;
    }
    uint32_t A = 1, B = 0;
    for (uint8_t Byte : Raw) {
        A = (A + Byte) % 65521;
        B = (B + A) % 65521;
    }
    PutBigEndian(Z, (B << 16) | A);
    std::vector<uint8_t> Header;
    PutBigEndian(Header, uint32_t(In.Width));
    PutBigEndian(Header, uint32_t(In.Height));
    Header.insert(Header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    std::vector<uint8_t> File = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(File, "IHDR", Header);
    PutChunk(File, "IDAT", Z);
    PutChunk(File, "IEND", {});
    std::FILE* Out = std::fopen(Path.c_str(), "wb");
    if (Out == nullptr)
        return 0;
    int Ok = std::fwrite(File.data(), 1, File.size(), Out) == File.size();
    return std::fclose(Out) == 0 && Ok;
}

int Diff(const std::string& PathA, const std::string& PathB, const Options& O)
{
    Picture A, B;
    if (!ReadPicture(PathA, A) || !ReadPicture(PathB, B)) {
        std::fprintf(stderr, "window-screens: cannot read %s or %s\n", PathA.c_str(), PathB.c_str());
        return 2;
    }
    if (A.Width != B.Width || A.Height != B.Height) {
        std::fprintf(stderr, "window-screens: %dx%d against %dx%d\n", A.Width, A.Height, B.Width, B.Height);
        return 2;
    }
    Picture Marks = A;
    long long Compared = 0, Over = 0, Differing = 0;
    int Largest = 0;
    for (int Y = 0; Y < A.Height; Y++)
        for (int X = 0; X < A.Width; X++) {
            size_t At = (size_t(Y) * size_t(A.Width) + size_t(X)) * 3;
            uint8_t* Mark = &Marks.Rgb[At];
            if (!Counted(O.Where, X, Y)) {
                Mark[0] = uint8_t(Mark[0] / 4);
                Mark[1] = uint8_t(Mark[1] / 4);
                Mark[2] = uint8_t(64 + Mark[2] / 4);
                continue;
            }
            Compared++;
            int Most = 0;
            for (int C = 0; C < 3; C++)
                Most = std::max(Most, std::abs(int(A.Rgb[At + size_t(C)]) - int(B.Rgb[At + size_t(C)])));
            Largest = std::max(Largest, Most);
            if (Most > 0)
                Differing++;
            if (Most > O.Tolerance)
                Over++;
            if (Most > O.Tolerance) {
                Mark[0] = 255, Mark[1] = 0, Mark[2] = 0;
            } else if (Most > 0) {
                Mark[0] = 255, Mark[1] = 255, Mark[2] = 0;
            } else {
                int Grey = (Mark[0] + Mark[1] + Mark[2]) / 9;
                Mark[0] = Mark[1] = Mark[2] = uint8_t(Grey);
            }
        }
    std::printf(
        "%lld pixels compared, %lld differ, %lld by more than %ld (allowed %ld), largest channel difference %d\n",
        Compared, Differing, Over, O.Tolerance, O.Allow, Largest);
    if (!O.Out.empty() && !WritePicture(O.Out, Marks)) {
        std::fprintf(stderr, "window-screens: cannot write %s\n", O.Out.c_str());
        return 2;
    }
    if (Compared == 0) {
        std::fputs("window-screens: no pixel compared\n", stderr);
        return 2;
    }
    return Over > O.Allow ? 1 : 0;
}

} // namespace

int main(int Argc, char** Argv)
{
    if (Argc < 4)
        return Usage();
    std::string Command = Argv[1];
    Options O;
    if (!ParseOptions(Argc, Argv, 4, O))
        return Usage();
    if (Command == "grab" || Command == "settle")
        return GrabOrSettle(Command == "settle", Argv[2], Argv[3], O);
    if (Command == "diff")
        return Diff(Argv[2], Argv[3], O);
    if (Command == "png") {
        Picture P;
        if (!ReadPicture(Argv[2], P) || !WritePng(Argv[3], P)) {
            std::fprintf(stderr, "window-screens: cannot turn %s into %s\n", Argv[2], Argv[3]);
            return 2;
        }
        return 0;
    }
    return Usage();
}
