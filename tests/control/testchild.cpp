// A small program for the tests to start, in the manner of qtbase's QProcess test helpers.
//   echo WORDS...     prints the words and a line feed
//   bytes HEX         writes the bytes given in hex, nothing else
//   progress          prints "\rP 10%", then "\rP 20%" in a later write, then a line feed
//   hang              prints "Ready" and waits to be killed
//   fork              starts a grandchild; both print their pids and wait to be killed
//   sleep MS WORDS... waits MS milliseconds, then prints the words
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace
{
void say(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void pauseFor(long ms)
{
    timespec delay{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

[[noreturn]] void waitForKill()
{
    for (;;)
        pause();
}

std::string words(int argc, char** argv, int from)
{
    std::string text;
    for (int i = from; i < argc; ++i) {
        if (i > from)
            text += ' ';
        text += argv[i];
    }
    return text;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "echo") {
        say(words(argc, argv, 2) + "\n");
    } else if (mode == "bytes" && argc > 2) {
        std::string bytes;
        const char* hex = argv[2];
        for (size_t i = 0; i + 1 < std::strlen(hex); i += 2)
            bytes += char(std::strtol(std::string(hex + i, 2).c_str(), nullptr, 16));
        say(bytes);
    } else if (mode == "progress") {
        say("\rP 10%");
        pauseFor(50);
        say("\rP 20%");
        pauseFor(50);
        say("\n");
    } else if (mode == "hang") {
        say("Ready\n");
        waitForKill();
    } else if (mode == "fork") {
        const pid_t child = fork();
        if (child == 0) {
            say("grandchild " + std::to_string(getpid()) + "\n");
            waitForKill();
        }
        say("child " + std::to_string(getpid()) + "\n");
        waitForKill();
    } else if (mode == "sleep" && argc > 2) {
        pauseFor(std::atol(argv[2]));
        say(words(argc, argv, 3) + "\n");
    } else {
        say("usage: volmar-testchild echo|bytes|progress|hang|fork|sleep ...\n");
        return 2;
    }
    return 0;
}
