#pragma once
// Peak memory of one piece of work, measured in a child process so that what
// the test process already holds does not hide it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Kilobytes the peak resident size grew while work ran; -1 when work said it
// failed, -2 when the child gave no answer.
inline long peakGrowthInChild(const std::function<bool()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return -2;
    const pid_t child = fork();
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const bool ok = work();
        getrusage(RUSAGE_SELF, &after);
        const long grown = ok ? after.ru_maxrss - before.ru_maxrss : -1;
        (void)!write(fds[1], &grown, sizeof grown);
        _exit(0);
    }
    long grown = -2;
    close(fds[1]);
    if (child < 0 || read(fds[0], &grown, sizeof grown) != ssize_t(sizeof grown)) grown = -2;
    close(fds[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return grown;
}
