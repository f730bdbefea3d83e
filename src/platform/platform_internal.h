// Shared between the platform's own files only; nothing outside src/platform
// includes this header.
#pragma once

#include <SDL.h>

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
