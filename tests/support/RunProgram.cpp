#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {

long long NowMs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(inPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (options.errOnTerminal) {
        errPipe[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (errPipe[0] < 0 || grantpt(errPipe[0]) != 0 || unlockpt(errPipe[0]) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        errPipe[1] = open(ptsname(errPipe[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (errPipe[1] < 0) throw std::runtime_error("no pseudo-terminal");
    } else if (pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    for (const std::string& extra : options.extraEnv) {
        // An entry replaces the one of the same name: the first one counts.
        const std::string name = extra.substr(0, extra.find('=') + 1);
        env.erase(std::remove_if(env.begin(), env.end(),
                                 [&name](const std::string& e) { return e.rfind(name, 0) == 0; }),
                  env.end());
        env.push_back(extra);
    }
    std::vector<char*> envp, args;
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy(argv);
    for (std::string& a : argvCopy) args.push_back(&a[0]);
    args.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    signal(SIGPIPE, SIG_IGN);
    int input = inPipe[1];
    auto giveInput = [&input, &options] {
        if (!options.input.empty()) {
            ssize_t ignored = write(input, options.input.data(), options.input.size());
            (void)ignored;
        }
        close(input);
        input = -1;
    };
    if (options.inputAfter.empty()) giveInput();

    ProgramResult result;
    struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    long long deadline = NowMs() + options.timeoutMs;
    while (open > 0) {
        long long left = deadline - NowMs();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        int ready = poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
                if (i == 0 && input >= 0 &&
                    result.out.find(options.inputAfter) != std::string::npos) {
                    usleep(static_cast<useconds_t>(options.inputDelayMs) * 1000);
                    giveInput();
                }
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0) close(fd.fd);
    }
    if (input >= 0) close(input);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace testsupport
