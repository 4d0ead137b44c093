#include "tools/password_source.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include "tools/tool_error.h"

namespace clinicdb {
namespace {

// The terminal whose echo is off, for the signal handler to give its settings back.
volatile std::sig_atomic_t gQuietFd = -1;
termios gSettings;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Gives the terminal its echo back and lets the signal end the program as it would have.
extern "C" void RestoreEchoAndResignal(int signal) {
    if (gQuietFd >= 0) tcsetattr(gQuietFd, TCSANOW, &gSettings);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Turns the terminal's echo off for its lifetime.
class EchoOff {
  public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (tcgetattr(fd, &gSettings) != 0)
            throw ToolError(std::string("cannot read the terminal's settings: ") +
                            std::strerror(errno));
        struct sigaction action {};
        action.sa_handler = RestoreEchoAndResignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            sigaction(kEndingSignals[i], &action, &previous_[i]);
        gQuietFd = fd;
        termios quiet = gSettings;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        // Typed-ahead input is kept, so that a password typed before the prompt still counts.
        tcsetattr(fd, TCSANOW, &quiet);
    }
    ~EchoOff() {
        tcsetattr(fd_, TCSANOW, &gSettings);
        gQuietFd = -1;
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            sigaction(kEndingSignals[i], &previous_[i], nullptr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    int fd_;
    struct sigaction previous_[std::size(kEndingSignals)];
};

// One line of `fd` without its end; nullopt when the input ends before any byte.
std::optional<std::string> ReadLine(int fd) {
    std::string line;
    for (char c;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw ToolError(std::string("cannot read the terminal: ") + std::strerror(errno));
        if (n == 0) return line.empty() ? std::nullopt : std::optional(line);
        if (c == '\n') return line;
        line += c;
    }
}

}  // namespace

std::optional<std::string> LinePasswords::Next(std::string_view) {
    std::string line;
    if (!std::getline(in_, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> TerminalPasswords::Next(std::string_view prompt) {
    std::optional<std::string> password;
    {
        const EchoOff quiet(fd_);
        prompts_ << prompt << std::flush;
        password = ReadLine(fd_);
    }
    // The Enter that ended the password was not echoed either.
    prompts_ << "\n" << std::flush;
    return password;
}

std::unique_ptr<PasswordSource> StandardInputPasswords(std::ostream& prompts) {
    if (isatty(STDIN_FILENO)) return std::make_unique<TerminalPasswords>(STDIN_FILENO, prompts);
    return std::make_unique<LinePasswords>(std::cin);
}

}  // namespace clinicdb
