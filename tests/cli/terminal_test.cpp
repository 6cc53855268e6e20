// What reaches a terminal: control characters from the data are shown
// escaped there, and go through unchanged into a pipe.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/console.h"

namespace {

TEST(EscapeForTerminal, ShowsControlCharactersOtherThanCrAndLf) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text\r\n", "plain text\r\n"},
      {"Mouse\x1b]0;owned\x07", "Mouse\\x1b]0;owned\\x07"},
      {"\x1b[2J\x1b[31mred", "\\x1b[2J\\x1b[31mred"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"tab\there\x7f", "tab\\x09here\\x7f"},
      {"\xc2\x9b"
       "31m",
       "\\u009b31m"},                                                              // C1 CSI
      {"\xc2\x85", "\\u0085"},                                                     // C1 NEL
      {"\xc2\xa9 caf\xc3\xa9 \xe6\x97\xa5", "\xc2\xa9 caf\xc3\xa9 \xe6\x97\xa5"},  // ©, é, 日 unchanged
      {"end\xc2", "end\xc2"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(cli::EscapeForTerminal(in), out) << in;
}

TEST(TerminalEscapeBuf, EscapesAcrossSeparateWrites) {
  std::ostringstream target;
  cli::TerminalEscapeBuf buf(target.rdbuf());
  std::ostream out(&buf);
  out << "a\xc2";
  out << '\x9b' << "b\x1b" << std::flush;
  EXPECT_EQ(target.str(), "a\\u009bb\\x1b");
}

struct Output {
  std::string bytes;
  int status;
};

// pcinfo-cli with `args`, its stdout and stderr a terminal or a pipe.
Output RunCli(const std::vector<std::string>& args, bool terminal) {
  std::vector<char*> argv{const_cast<char*>(PCINFO_CLI)};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  pid_t pid;
  int master = -1;
  if (terminal) {
    pid = forkpty(&master, nullptr, nullptr, nullptr);
  } else {
    if (pipe(fds) != 0) return {"", -1};
    pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      dup2(fds[1], 2);
      close(fds[0]);
    }
    master = fds[0];
  }
  if (pid == 0) {
    execv(PCINFO_CLI, argv.data());
    _exit(127);
  }
  if (!terminal) close(fds[1]);
  std::string bytes;
  char buf[4096];
  for (;;) {
    ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the terminal's last writer is gone
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  return {bytes, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Into a pipe too: a value's controls are shown escaped on its line (a pipe
// often ends on a terminal, through less -R or a log viewer).
TEST(Terminal, ShowsSnapshotControlCharactersEscapedOnATerminalAndInAPipe) {
  auto path = std::filesystem::temp_directory_path() / ("pcinfo-terminal-" + std::to_string(getpid()) + ".json");
  std::ofstream(path) << R"({"namespaces": {"root\\cimv2": {"Win32_Processor": [
    {"Name": "CPU\u001b]0;pwned\u0007\u001b[2J", "Caption": "x\u009by"}]}}})";
  const std::vector<std::string> args{"--from", path.string(), "dump", "--info", "/dev/null/info", "Win32_Processor"};
  Output tty = RunCli(args, true);
  Output piped = RunCli(args, false);
  std::filesystem::remove(path);

  EXPECT_EQ(tty.bytes.find('\x1b'), std::string::npos) << tty.bytes;
  EXPECT_EQ(tty.bytes.find('\x07'), std::string::npos);
  EXPECT_EQ(tty.bytes.find("\xc2\x9b"), std::string::npos);
  EXPECT_NE(tty.bytes.find("Name:CPU\\x1b]0;pwned\\x07\\x1b[2J"), std::string::npos) << tty.bytes;
  EXPECT_NE(tty.bytes.find("Caption:x\\u009by"), std::string::npos) << tty.bytes;
  // The stderr line (a folder that cannot be made) comes too, on its own line.
  EXPECT_NE(tty.bytes.find("pcinfo-cli: dump: cannot write /dev/null/info/"), std::string::npos) << tty.bytes;
  EXPECT_EQ(tty.status, 1);

  EXPECT_EQ(piped.bytes.find('\x1b'), std::string::npos) << piped.bytes;
  EXPECT_NE(piped.bytes.find("Name:CPU\\x1b]0;pwned\\x07\\x1b[2J\r\n"), std::string::npos) << piped.bytes;
  EXPECT_NE(piped.bytes.find("Caption:x\\u009by\r\n"), std::string::npos) << piped.bytes;
  EXPECT_EQ(piped.status, 1);
}

}  // namespace
