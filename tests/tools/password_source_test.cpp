#include "tools/password_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <sstream>
#include <stdexcept>

#include "tests/tools/tool_test_support.h"
#include "tools/table_passwords.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using testing::ScriptedPasswords;

// A pseudo-terminal: the tool reads its side as a terminal, the test types on the other.
class Terminal {
  public:
    Terminal() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        side_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (side_ < 0) throw std::runtime_error("cannot open the pseudo-terminal");
    }
    ~Terminal() {
        close(side_);
        close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    int ToolSide() const { return side_; }
    bool Echoes() const {
        termios settings{};
        tcgetattr(side_, &settings);
        return (settings.c_lflag & ECHO) != 0;
    }
    void Type(const std::string& text) const {
        ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // What the terminal shows from now until `text` appears (or it shows nothing for a while):
    // the echo of what was typed.
    std::string ShownUntil(std::string_view text) const {
        std::string shown;
        pollfd ready{master_, POLLIN, 0};
        char buffer[256];
        while (shown.find(text) == std::string::npos && poll(&ready, 1, 5000) == 1) {
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            shown.append(buffer, n);
        }
        return shown;
    }

  private:
    int master_;
    int side_ = -1;
};

// The prompt stream of a person at the terminal: each time a prompt appears, the next line is
// typed.
class Typist : public std::stringbuf {
  public:
    Typist(const Terminal& terminal, std::vector<std::string> lines)
        : terminal_(terminal), lines_(std::move(lines)) {}

  protected:
    int sync() override {
        if (next_ < lines_.size()) terminal_.Type(lines_[next_++] + "\n");
        return 0;
    }

  private:
    const Terminal& terminal_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

TEST(TerminalPasswords, ReadsALineWithoutEchoAndGivesTheEchoBack) {
    Terminal terminal;
    Typist typist(terminal, {"secret 密码"});
    std::ostream prompts(&typist);
    TerminalPasswords source(terminal.ToolSide(), prompts);
    EXPECT_EQ(source.Next("Password: "), "secret 密码");
    EXPECT_EQ(typist.str(), "Password: \n");
    EXPECT_TRUE(terminal.Echoes());
    // What is typed now is echoed, and nothing came before it.
    terminal.Type("seen\n");
    EXPECT_EQ(terminal.ShownUntil("seen\r\n"), "seen\r\n");
}

TEST(TerminalPasswords, EndOfInputGivesNoPassword) {
    Terminal terminal;
    Typist typist(terminal, {"\x04"});  // Ctrl-D on an empty line
    std::ostream prompts(&typist);
    TerminalPasswords source(terminal.ToolSide(), prompts);
    EXPECT_EQ(source.Next("Password: "), std::nullopt);
    EXPECT_TRUE(terminal.Echoes());
}

TEST(TerminalPasswords, ASignalWhileWaitingGivesTheEchoBack) {
    Terminal terminal;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            std::ostringstream prompts;
            TerminalPasswords(terminal.ToolSide(), prompts).Next("Password: ");
        } catch (...) {
        }
        _exit(0);
    }
    // The child waits for the password once the echo is off (ten seconds at most, lest a fault
    // hang the test).
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 10000 && terminal.Echoes() && ended == 0; ++i) {
        usleep(1000);
        ended = waitpid(child, &status, WNOHANG);
    }
    const bool quietWhileWaiting = !terminal.Echoes();
    if (ended == 0) {
        kill(child, SIGTERM);
        ASSERT_EQ(waitpid(child, &status, 0), child);
    }
    EXPECT_TRUE(quietWhileWaiting);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(terminal.Echoes());
}

TEST(LinePasswords, GivesOneLineEachWithoutItsEnd) {
    std::istringstream in("first\r\nsecond\n\nlast");
    LinePasswords source(in);
    EXPECT_FALSE(source.Confirms());
    EXPECT_EQ(source.Next("Password: "), "first");
    EXPECT_EQ(source.Next("Password: "), "second");
    EXPECT_EQ(source.Next("Password: "), "");
    EXPECT_EQ(source.Next("Password: "), "last");
    EXPECT_EQ(source.Next("Password: "), std::nullopt);
}

// The message of the ToolError that `ask` throws.
template <typename Ask>
std::string Refusal(Ask ask) {
    try {
        ask();
    } catch (const ToolError& e) {
        return e.what();
    }
    return "nothing thrown";
}

TEST(AskPassword, HandsTheTablesGbkBytes) {
    ScriptedPasswords source({"密码", "plain"});
    EXPECT_EQ(AskPassword(source, "Password: "), "\xC3\xDC\xC2\xEB");
    EXPECT_EQ(AskPassword(source, "Password: "), "plain");
}

TEST(AskPassword, RefusesEmptyMissingCutAndOverlongPasswords) {
    ScriptedPasswords empty({"", std::string("a\0b", 3)});
    EXPECT_EQ(Refusal([&] { AskPassword(empty, "Password: "); }), "an empty password is refused");
    EXPECT_EQ(Refusal([&] { AskPassword(empty, "Password: "); }),
              "a password cannot hold a NUL byte");
    EXPECT_EQ(Refusal([&] { AskPassword(empty, "Password: "); }), "no password given");
    std::string longest = "x";
    for (int i = 0; i < 127; ++i) longest += "密";
    ScriptedPasswords lengths({longest, longest + "x"});
    EXPECT_EQ(AskPassword(lengths, "Password: ").size(), 255u);
    EXPECT_EQ(Refusal([&] { AskPassword(lengths, "Password: "); }),
              "the password is longer than 255 bytes");
}

TEST(AskNewPassword, AsksTwiceAtATerminalAndRefusesADifference) {
    ScriptedPasswords same({"abc", "abc"}, true);
    EXPECT_EQ(AskNewPassword(same), "abc");
    EXPECT_EQ(same.Prompts(),
              (std::vector<std::string>{"New password: ", "Repeat the new password: "}));
    ScriptedPasswords differ({"abc", "abd"}, true);
    EXPECT_EQ(Refusal([&] { AskNewPassword(differ); }), "the two passwords differ");
}

TEST(AskNewPassword, AsksOnceOfAScript) {
    ScriptedPasswords script({"abc", "other"});
    EXPECT_EQ(AskNewPassword(script), "abc");
    EXPECT_EQ(script.Prompts().size(), 1u);
}

}  // namespace
}  // namespace clinicdb
