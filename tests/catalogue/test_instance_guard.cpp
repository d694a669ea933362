// One viewer at a time, across processes; a lock left by a killed copy does
// not block the next start.
#include "app/InstanceGuard.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace drivora;

namespace {

// Starts a process that takes the guard, tells through a pipe whether it
// got it, and then waits to be killed.
pid_t StartHolder(const QString &folder, bool *got)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        InstanceGuard guard(folder);
        const char answer = guard.take() ? '1' : '0';
        (void)!::write(fds[1], &answer, 1);
        for (;;)
            ::pause();
    }
    ::close(fds[1]);
    char answer = '0';
    (void)!::read(fds[0], &answer, 1);
    ::close(fds[0]);
    *got = answer == '1';
    return pid;
}

} // namespace

TEST(InstanceGuard, OneCopyAtATimeAndKilledCopiesDoNotBlock)
{
    QTemporaryDir dir;
    bool got = false;
    const pid_t first = StartHolder(dir.path(), &got);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(got);

    InstanceGuard second(dir.path());
    EXPECT_FALSE(second.take()) << "another copy runs";
    EXPECT_TRUE(QFileInfo::exists(second.lockPath()));

    // The first copy is killed: its lock stays behind, and is taken over.
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    ASSERT_TRUE(QFileInfo::exists(second.lockPath()));
    InstanceGuard next(dir.path());
    EXPECT_TRUE(next.take());

    // Held here: a further copy is refused until this one ends.
    const pid_t third = StartHolder(dir.path(), &got);
    EXPECT_FALSE(got);
    ::kill(third, SIGKILL);
    ::waitpid(third, nullptr, 0);
}
