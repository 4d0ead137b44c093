// Kills a posting process at arbitrary moments: the test of "a post that returned is never
// lost" for the engine and the data layer alike.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <thread>

namespace test_support {

// Runs `postUntilKilled` in a child process `rounds` times, killing it with SIGKILL a little
// later each round; the child writes each record number to the descriptor it is given once
// the post has returned. Answers every record number the children reported.
inline std::set<std::int32_t> KillWhilePosting(int rounds,
                                               const std::function<void(int)>& postUntilKilled) {
    std::set<std::int32_t> posted;
    for (int round = 0; round < rounds; ++round) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            ADD_FAILURE() << "no pipe";
            break;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            postUntilKilled(pipeEnds[1]);
            _exit(4);
        }
        close(pipeEnds[1]);
        // Let the child post a few times however busy the machine is, then kill it mid-stream.
        std::int32_t id = 0;
        for (int seen = 0; seen < 3 && read(pipeEnds[0], &id, sizeof id) == sizeof id; ++seen) {
            posted.insert(id);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * round));
        kill(child, SIGKILL);
        while (read(pipeEnds[0], &id, sizeof id) == sizeof id) posted.insert(id);
        close(pipeEnds[0]);
        waitpid(child, nullptr, 0);
    }
    return posted;
}

}  // namespace test_support
