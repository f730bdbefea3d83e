// bench/run's measure of "launch to a visible window": waits for process
// Pid's window to be mapped, then for it to show something drawn (fifteen
// full-width rows of it are not all one colour: a splash, a menu, even a word
// of "loading" on black), and prints both times in milliseconds since the
// launch, StartNs (CLOCK_REALTIME nanoseconds, as `date +%s%N`); -1 for what
// did not happen within ten seconds. It polls every 2 ms from one process, so
// the measuring costs both programs measured alike and little.
//   firstpaint PID START-NS
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>

static int WindowGone = 0;

static int IgnoreError(Display*, XErrorEvent*)
{
    WindowGone = 1;
    return 0;
}

static long long NowNs()
{
    timespec Now;
    clock_gettime(CLOCK_REALTIME, &Now);
    return Now.tv_sec * 1000000000LL + Now.tv_nsec;
}

// 1 when the window's sampled rows hold more than one colour.
static int SomethingDrawn(Display* Screen, Window Id)
{
    XWindowAttributes Attributes;
    if (!XGetWindowAttributes(Screen, Id, &Attributes) || Attributes.width <= 0 || Attributes.height <= 0)
        return 0;
    long First = -1;
    for (int K = 1; K < 16; K++) {
        XImage* Row =
            XGetImage(Screen, Id, 0, Attributes.height * K / 16, unsigned(Attributes.width), 1, AllPlanes, ZPixmap);
        if (Row == nullptr)
            return 0;
        int Differs = 0;
        for (int X = 0; X < Attributes.width && !Differs; X++) {
            long Pixel = long(XGetPixel(Row, X, 0) & 0xffffff);
            if (First < 0)
                First = Pixel;
            Differs = Pixel != First;
        }
        XDestroyImage(Row);
        if (Differs)
            return 1;
    }
    return 0;
}

// A viewable window of the top level (or one below it, as window managers
// reparent) whose _NET_WM_PID is Pid; 0 when there is none yet.
static Window FindWindow(Display* Screen, Window Parent, Atom PidAtom, unsigned long Pid, int Depth)
{
    Window Root, Up, *Children = nullptr;
    unsigned int Count = 0;
    if (!XQueryTree(Screen, Parent, &Root, &Up, &Children, &Count))
        return 0;
    Window Found = 0;
    for (unsigned int I = 0; I < Count && !Found; I++) {
        Atom Type;
        int Format;
        unsigned long Items, After;
        unsigned char* Value = nullptr;
        if (XGetWindowProperty(Screen, Children[I], PidAtom, 0, 1, False, XA_CARDINAL, &Type, &Format, &Items, &After,
                               &Value) == Success &&
            Value != nullptr && Items == 1 && Format == 32 && *reinterpret_cast<unsigned long*>(Value) == Pid) {
            XWindowAttributes Attributes;
            if (XGetWindowAttributes(Screen, Children[I], &Attributes) && Attributes.map_state == IsViewable)
                Found = Children[I];
        }
        if (Value != nullptr)
            XFree(Value);
        if (!Found && Depth < 2)
            Found = FindWindow(Screen, Children[I], PidAtom, Pid, Depth + 1);
    }
    if (Children != nullptr)
        XFree(Children);
    return Found;
}

static void Pause()
{
    timespec Time = {0, 2000000};
    nanosleep(&Time, nullptr);
}

int main(int ArgCount, char** Args)
{
    if (ArgCount != 3) {
        std::fprintf(stderr, "usage: firstpaint PID START-NS\n");
        return 2;
    }
    unsigned long Pid = std::strtoul(Args[1], nullptr, 10);
    long long Start = std::atoll(Args[2]);
    Display* Screen = XOpenDisplay(nullptr);
    if (Screen == nullptr)
        return 1;
    XSetErrorHandler(IgnoreError);
    Atom PidAtom = XInternAtom(Screen, "_NET_WM_PID", False);
    long long Deadline = NowNs() + 10000000000LL;
    Window Id = 0;
    while (NowNs() < Deadline && (Id = FindWindow(Screen, DefaultRootWindow(Screen), PidAtom, Pid, 0)) == 0)
        Pause();
    long long Mapped = Id ? (NowNs() - Start) / 1000000 : -1;
    long long Drawn = -1;
    WindowGone = 0;
    while (Id && NowNs() < Deadline && !WindowGone) {
        if (SomethingDrawn(Screen, Id)) {
            Drawn = (NowNs() - Start) / 1000000;
            break;
        }
        XSync(Screen, False);
        Pause();
    }
    std::printf("%lld %lld\n", Mapped, Drawn);
    return 0;
}
