// Test steps run by other logins than the test's own: each in a forked child that gives up
// root for a uid and gid of its own, with no supplementary groups, and the usual umask 022.
// Steps report back in words: an empty report means all went as expected. Only root can
// become another user, so tests that need one skip when not run as root.
#pragma once

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

namespace test_support {

// Two logins of the clinic's staff and the group they share; neither is root.
inline constexpr uid_t kFirstLogin = 65534;
inline constexpr uid_t kSecondLogin = 65533;
inline constexpr gid_t kStaffGroup = 4242;

using Steps = std::function<std::string()>;

namespace detail {

inline void WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

inline std::string ReadAll(int fd) {
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
}

// In the child: becomes `uid`, runs `steps` and writes their report to `reportFd`.
inline void BecomeAndRun(uid_t uid, gid_t gid, const Steps& steps, int reportFd) {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        WriteAll(reportFd, "could not become uid " + std::to_string(uid));
        return;
    }
    umask(022);
    WriteAll(reportFd, steps());
}

inline std::string Ended(pid_t child, std::string report) {
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += " (the login's process failed)";
    return report;
}

}  // namespace detail

// Runs `steps` as the login `uid`; answers their report.
inline std::string RunAs(uid_t uid, gid_t gid, const Steps& steps) {
    int report[2];
    if (pipe(report) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        detail::BecomeAndRun(uid, gid, steps, report[1]);
        _exit(0);
    }
    close(report[1]);
    std::string text = detail::ReadAll(report[0]);
    close(report[0]);
    return detail::Ended(child, std::move(text));
}

// A login that runs `steps` and then keeps what they left open (tables, record locks) until
// the object is destroyed: another login in the same directory meanwhile.
class OpenLogin {
  public:
    OpenLogin(uid_t uid, gid_t gid, const Steps& steps) {
        int report[2];
        if (pipe(report) != 0 || pipe(release_) != 0) {
            report_ = "no pipe";
            return;
        }
        child_ = fork();
        if (child_ == 0) {
            close(report[0]);
            close(release_[1]);
            detail::BecomeAndRun(uid, gid, steps, report[1]);
            close(report[1]);
            // A byte, not the end of the pipe: logins started later hold its writing end too.
            char released;
            while (read(release_[0], &released, 1) < 0 && errno == EINTR) {
            }
            _exit(0);
        }
        close(report[1]);
        close(release_[0]);
        report_ = detail::ReadAll(report[0]);
        close(report[0]);
    }
    ~OpenLogin() {
        if (child_ <= 0) return;
        detail::WriteAll(release_[1], "x");
        close(release_[1]);
        detail::Ended(child_, "");
    }
    OpenLogin(const OpenLogin&) = delete;
    OpenLogin& operator=(const OpenLogin&) = delete;

    const std::string& Report() const { return report_; }

  private:
    int release_[2] = {-1, -1};
    pid_t child_ = -1;
    std::string report_;
};

}  // namespace test_support
