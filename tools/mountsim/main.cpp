// vantrel-mountsim: a simulated hand controller on a pseudo-terminal, for
// the end-to-end tests and for trying the program without a mount.
#include "sim_options.h"
#include "simulator.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    char byte = 0;
    [[maybe_unused]] ssize_t n = write(stopPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv)
{
    mountsim::SimOptions options;
    if (auto error = mountsim::parseOptions({argv + 1, argv + argc}, options)) {
        std::fprintf(stderr, "vantrel-mountsim: %s (try --help)\n", error->c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(mountsim::usageText().c_str(), stdout);
        return 0;
    }

    // A signal only wakes the loop, which removes the link on its way out.
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("vantrel-mountsim: cannot create a pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    mountsim::Simulator simulator(options, stderr);
    std::string error;
    if (!simulator.open(error)) {
        std::fprintf(stderr, "vantrel-mountsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", simulator.readyLine().c_str());
    std::fflush(stdout);
    return simulator.run(stopPipe[0]);
}
