// The game's entry point: start-up, the frame loop, the normal shutdown.
#include "shell/shell.h"

int main(int argc, char** argv)
{
    GameStartUp(argc - 1, argv + 1);
    BeforeFirstFrame();
    while (RunFrame()) {
    }
    NormalShutdown();
}
