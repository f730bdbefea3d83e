// The game's entry point: start-up, the frame loop, the normal shutdown.
#include "shell/shell.h"
#include "platform/platform.h"

int main(int argc, char** argv)
{
    std::vector<std::string> Arguments = CommandLineArguments(argc, argv);
    std::vector<char*> Pointers;
    for (std::string& Argument : Arguments)
        Pointers.push_back(Argument.data());
    GameStartUp(int(Pointers.size()) - 1, Pointers.data() + 1);
    BeforeFirstFrame();
    while (RunFrame()) {
    }
    NormalShutdown();
}
