// One worker thread for the machine's second core: pieces of work that can
// run beside the game's own thread (half of a picture being turned, a PNG
// being decoded ahead of its use). The game's thread posts a piece and later
// finishes it: if the worker has not begun it by then, the game's thread does
// it itself, and while it waits for one the worker is doing, it does others
// still queued, so waiting never costs more than doing. Nothing here touches the
// game's records: a piece works only on the memory it is given.
// Measured without it (KISTORA_ONE_CORE=1, bench/library_vs_own.txt): the
// launch, idle CPU and peak memory stay within the noise, the headless menu
// frame is 18% dearer and the game's thread allocates in some frames.
#include "platform/platform_internal.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <pthread.h>
#include <thread>

// Pieces posted and not yet finished, at most (more are done at once, in place).
static constexpr int MaxPieces = 128;

// Private to this file (the play state has a WorkerRecord of its own: the
// worker who pushes the crates).
namespace {

enum PieceStateKind { PieceFree = 0, PieceQueued, PieceRunning, PieceDone };

struct WorkPiece {
    WorkFunction Function = nullptr;
    void* Argument = nullptr;
    int Ticket = 0;
    int Helped = 1; // 0: not done by a thread waiting for another piece
    int State = PieceFree;
};

struct WorkQueueRecord {
    std::mutex Lock;
    std::condition_variable Posted;   // a piece was queued, or the worker is to stop
    std::condition_variable Finished; // a piece the worker ran is done
    pthread_t Thread{};
    int Started = 0;     // 1 while the thread runs
    int Unavailable = 0; // 1: one core, or no thread could be had
    int Quit = 0;
    int NextTicket = 1;
    WorkPiece Pieces[MaxPieces];
};

} // namespace

// Made once and never destroyed: a process that ends with the worker still
// waiting must not wait for it while its statics go.
static WorkQueueRecord& Worker = *new WorkQueueRecord();

static void* WorkerMain(void*);
static void StartWorker();
#ifndef _WIN32
static void ForgetWorkerAfterFork();
#endif

int PostWork(WorkFunction Function, void* Argument, int Helped)
{
    std::unique_lock<std::mutex> Hold(Worker.Lock);
    if (!Worker.Started && !Worker.Unavailable) {
        Hold.unlock();
        StartWorker();
        Hold.lock();
    }
    int Ticket = Worker.NextTicket;
    WorkPiece& Piece = Worker.Pieces[Ticket % MaxPieces];
    if (Piece.State != PieceFree || !Worker.Started) {
        // No room or no worker: the piece is done now, and finishing it costs nothing.
        Hold.unlock();
        Function(Argument);
        return 0;
    }
    Worker.NextTicket = Ticket == 0x3fffffff ? 1 : Ticket + 1;
    Piece.Function = Function;
    Piece.Argument = Argument;
    Piece.Ticket = Ticket;
    Piece.Helped = Helped;
    Piece.State = PieceQueued;
    Hold.unlock();
    Worker.Posted.notify_one();
    return Ticket;
}

void FinishWork(int Ticket)
{
    if (Ticket <= 0)
        return;
    std::unique_lock<std::mutex> Hold(Worker.Lock);
    WorkPiece& Piece = Worker.Pieces[Ticket % MaxPieces];
    if (Piece.Ticket != Ticket || Piece.State == PieceFree)
        return;
    if (Piece.State == PieceQueued) {
        // Not begun: quicker to do it here than to wait for the worker.
        Piece.State = PieceRunning;
        Hold.unlock();
        Piece.Function(Piece.Argument);
        Hold.lock();
    } else {
        // Under way on the worker: meanwhile this thread does the newest
        // pieces still queued (the worker takes the oldest), then waits. A
        // picture queued for later is left to the worker, so that no frame
        // decodes one.
        while (Piece.State != PieceDone) {
            WorkPiece* Other = nullptr;
            for (WorkPiece& Candidate : Worker.Pieces)
                if (Candidate.State == PieceQueued && Candidate.Helped &&
                    (Other == nullptr || Candidate.Ticket > Other->Ticket))
                    Other = &Candidate;
            if (Other == nullptr) {
                Worker.Finished.wait(Hold, [&] { return Piece.State == PieceDone; });
                break;
            }
            Other->State = PieceRunning;
            Hold.unlock();
            Other->Function(Other->Argument);
            Hold.lock();
            Other->State = PieceDone; // finished by whoever posted it, as ever
            Worker.Finished.notify_all();
        }
    }
    Piece = WorkPiece();
}

void WorkerShutdown()
{
    {
        std::lock_guard<std::mutex> Hold(Worker.Lock);
        if (!Worker.Started)
            return;
        Worker.Quit = 1;
    }
    Worker.Posted.notify_all();
    pthread_join(Worker.Thread, nullptr);
    std::lock_guard<std::mutex> Hold(Worker.Lock);
    Worker.Started = 0;
    Worker.Quit = 0;
    // Pieces still queued are done by whoever finishes them.
}

static void StartWorker()
{
    std::lock_guard<std::mutex> Hold(Worker.Lock);
    if (Worker.Started || Worker.Unavailable)
        return;
    // KISTORA_ONE_CORE=1 (for the benchmark, bench/run): no worker, every piece done where it is posted.
    const char* OneCore = std::getenv("KISTORA_ONE_CORE");
    if (std::thread::hardware_concurrency() == 1 || (OneCore != nullptr && std::strcmp(OneCore, "1") == 0)) {
        Worker.Unavailable = 1;
        return;
    }
#ifndef _WIN32
    static int ForkHandled = 0;
    if (!ForkHandled) {
        pthread_atfork(nullptr, nullptr, ForgetWorkerAfterFork);
        ForkHandled = 1;
    }
#endif
    if (pthread_create(&Worker.Thread, nullptr, WorkerMain, nullptr) != 0) {
        Worker.Unavailable = 1;
        return;
    }
    Worker.Started = 1;
}

#ifndef _WIN32
// A forked child has no worker thread (only the thread that forked goes on):
// it starts with a worker record of its own, as if none had been started.
static void ForgetWorkerAfterFork()
{
    new (&Worker) WorkQueueRecord();
}
#endif

static void* WorkerMain(void*)
{
    std::unique_lock<std::mutex> Hold(Worker.Lock);
    for (;;) {
        // The oldest queued piece.
        WorkPiece* Next = nullptr;
        for (WorkPiece& Piece : Worker.Pieces)
            if (Piece.State == PieceQueued && (Next == nullptr || Piece.Ticket < Next->Ticket))
                Next = &Piece;
        if (Next == nullptr) {
            if (Worker.Quit)
                return nullptr;
            Worker.Posted.wait(Hold);
            continue;
        }
        Next->State = PieceRunning;
        Hold.unlock();
        Next->Function(Next->Argument);
        Hold.lock();
        Next->State = PieceDone;
        Worker.Finished.notify_all();
    }
}
