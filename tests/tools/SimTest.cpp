#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Rows.h"
#include "tests/support/SimProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::string;

Bytes Frame(std::string_view body) {
  return "[$%]" + Bytes(body) + "{#&}";
}
Bytes Frame(std::initializer_list<int> body) {
  Bytes bytes;
  for (const int b : body) bytes.push_back(static_cast<char>(b));
  return Frame(bytes);
}

// The program's end of the link, opened the way a serial-port client opens it.
class Port {
 public:
  explicit Port(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (fd_ < 0) throw std::runtime_error("open " + path + ": " + std::strerror(errno));
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  ~Port() { ::close(fd_); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  int fd() const { return fd_; }
  void Send(std::string_view bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Whatever arrives until `count` bytes are in or `timeout` has passed.
  Bytes Read(std::size_t count, std::chrono::milliseconds timeout = 2s) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd pfd{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
      char chunk[64];
      const ssize_t n = ::read(fd_, chunk, std::min(sizeof chunk, count - got.size()));
      if (n <= 0) break;
      got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int fd_;
};

struct PollCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> commands;
  std::string request;
  Bytes reply;
};

class SimPolls : public testing::TestWithParam<PollCase> {};

TEST_P(SimPolls, AnswerMatchesConfiguredState) {
  const PollCase& c = GetParam();
  SimProcess sim(c.args);
  Port port(sim.PortPath());
  for (const auto& command : c.commands) sim.Command(command);
  port.Send(c.request);
  EXPECT_EQ(port.Read(c.reply.size()), c.reply);
  EXPECT_EQ(port.Read(1, 100ms), "") << "nothing beyond the reply";
}

const PollCase kPollCases[] = {
    {"Identity", {}, {}, "V", Frame("KVZ03001")},
    {"ShortIdentityPadded", {"--id", "AB"}, {}, "V", Frame("AB      ")},
    {"LongIdentityCut", {}, {"id TOO-LONG-ID"}, "V", Frame("TOO-LONG")},
    {"Ready", {}, {}, "R", Frame("1e")},
    {"NotReadyOption", {"--not-ready", "--mode=c"}, {}, "R", Frame("0c")},
    {"NotReadyCommand", {}, {"ready 0", "state y"}, "R", Frame("0y")},
    {"ModeFrameFirst", {}, {"mode w"}, "R", Frame("Mw") + Frame("1w")},
    {"UnknownBytesIgnored", {}, {}, "x V\r\n?R", Frame("KVZ03001") + Frame("1e")}};
KVZ_ROWS(SimPolls, kPollCases);

struct FrameCase {
  const char* name;
  std::string command;
  Bytes bytes;
};

class SimFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(SimFrames, CommandWritesExactBytes) {
  SimProcess sim;
  Port port(sim.PortPath());
  sim.Command(GetParam().command);
  EXPECT_EQ(port.Read(GetParam().bytes.size() + 1, 300ms), GetParam().bytes);
}

const FrameCase kFrameCases[] = {
    {"Mode", "mode s", Frame("Ms")},
    {"ModeInHex", "mode 0x70", Frame("Mp")},
    {"Work", "work 512 -300 7 y", Frame({'W', 0, 0x00, 0x02, 0xD4, 0xFE, '7', 'y'})},
    {"WorkRepeat", "work -1 -32768 ю e", Frame({'W', 0, 0xFF, 0xFF, 0x00, 0x80, 0xFE, 'e'})},
    {"WorkNotPrecious", "work 32767 0 я w", Frame({'W', 0, 0xFF, 0x7F, 0x00, 0x00, 0xFF, 'w'})},
    {"WorkCodeInHex", "work 0 1 0x3b x", Frame({'W', 0, 0x00, 0x00, 0x01, 0x00, ';', 'x'})},
    {"Raw", "raw 5b2425 5d 4d", "[$%]M"}};
KVZ_ROWS(SimFrames, kFrameCases);

TEST(SimCommands, RejectsMalformedLines) {
  SimProcess sim;
  for (const char* line : {"bogus", "mode", "mode ab", "work 1 2 3", "work 40000 0 1 e",
                           "work 1 2 Z e", "ready 2", "delay -5", "raw 5", "raw zz", "quit now"}) {
    EXPECT_THROW(sim.Command(line), std::runtime_error) << line;
  }
  for (const char* line : {"# comment", "", "help", "delay 0", "id  spaced out "})
    sim.Command(line);
}

TEST(SimTiming, SilentDropsAndDelayDefersReplies) {
  SimProcess sim;
  Port port(sim.PortPath());
  sim.Command("silent 1");
  port.Send("VR");
  EXPECT_EQ(port.Read(1, 300ms), "");

  sim.Command("silent 0");
  sim.Command("delay 500");
  port.Send("R");
  EXPECT_EQ(port.Read(1, 200ms), "");
  EXPECT_EQ(port.Read(10), Frame("1e"));

  // A later poll with a shorter delay must not overtake an earlier one.
  port.Send("V");
  sim.Command("delay 0");
  port.Send("R");
  EXPECT_EQ(port.Read(26), Frame("KVZ03001") + Frame("1e"));
}

TEST(SimHotplug, UnplugHangsUpAndReplugGivesWorkingPort) {
  SimProcess sim;
  Port old_port(sim.PortPath());
  const std::string old_path = sim.PortPath();
  sim.Unplug();

  pollfd pfd{old_port.fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&pfd, 1, 1000), 1);
  EXPECT_NE(pfd.revents & (POLLHUP | POLLERR), 0);
  char byte;
  EXPECT_LE(::read(old_port.fd(), &byte, 1), 0);
  EXPECT_THROW(sim.Command("mode e"), std::runtime_error) << "nothing to send to";

  sim.Replug();
  // The old pty is still held open here, so the kernel cannot hand out its number again.
  EXPECT_NE(sim.PortPath(), old_path);
  Port new_port(sim.PortPath());
  new_port.Send("V");
  EXPECT_EQ(new_port.Read(16), Frame("KVZ03001"));
}

TEST(SimHotplug, ResetGoesBackToTheStartOptions) {
  SimProcess sim({"--not-ready", "--mode", "p", "--id", "KVZ03042"});
  for (const bool unplugged : {false, true}) {
    for (const char* line : {"ready 1", "state w", "id KVZ03999", "silent 1", "delay 900"})
      sim.Command(line);
    unplugged ? sim.Unplug() : sim.Command("mode y");  // a frame no one reads
    sim.Command("reset");
    Port port(sim.PortPath());
    port.Send("VR");
    EXPECT_EQ(port.Read(26), Frame("KVZ03042") + Frame("0p")) << unplugged;
  }
}

TEST(SimHotplug, ProgramMayReopenThePort) {
  SimProcess sim;
  { Port first(sim.PortPath()); }
  Port again(sim.PortPath());
  again.Send("R");
  EXPECT_EQ(again.Read(10), Frame("1e"));
}

TEST(SimLink, FollowsThePortAndIsRemovedOnExit) {
  namespace fs = std::filesystem;
  const fs::path link = fs::path(testing::TempDir()) / ("kvz03-link-" + std::to_string(getpid()));
  for (const int signo : {0, SIGTERM, SIGINT, SIGHUP}) {
    fs::remove(link);
    fs::create_symlink("/nonexistent", link);  // a stale link from an earlier run is replaced
    SimProcess sim({"--link", link.string()});
    EXPECT_EQ(fs::read_symlink(link), sim.PortPath());
    sim.Unplug();
    EXPECT_FALSE(fs::is_symlink(link));
    sim.Replug();
    EXPECT_EQ(fs::read_symlink(link), sim.PortPath());
    if (signo != 0) {
      const int status = sim.KillAndWait(signo);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << signo << ": " << status;
      EXPECT_FALSE(fs::is_symlink(link));
    }
  }
  EXPECT_FALSE(fs::is_symlink(link));

  // Anything but a symlink at that path is somebody's file, not ours to replace.
  { std::ofstream{link} << "keep"; }
  EXPECT_THROW(SimProcess({"--link", link.string()}), std::runtime_error);
  EXPECT_TRUE(fs::is_regular_file(link));
  fs::remove(link);
}

TEST(SimDemo, ReadinessRepliesFollowTheScript) {
  SimProcess sim({"--demo", "--demo-interval", "400"});
  Port port(sim.PortPath());
  EXPECT_EQ(port.Read(10), Frame("Mc"));
  port.Send("R");
  EXPECT_EQ(port.Read(10, 300ms).substr(5), "c{#&}");
  EXPECT_EQ(port.Read(10), Frame("Mr"));
  port.Send("R");
  EXPECT_EQ(port.Read(10, 300ms), Frame("1r"));
}

TEST(SimDemo, StartsWithProbeCheckThenMeasures) {
  SimProcess sim({"--demo", "--demo-interval", "50"});
  Port port(sim.PortPath());
  const Bytes modes = Frame("Mc") + Frame("Mr") + Frame("Me") + Frame("Ms");
  EXPECT_EQ(port.Read(modes.size()), modes);
  const Bytes result = port.Read(16);
  EXPECT_EQ(result.substr(0, 6), Bytes("[$%]W\0", 6));
  EXPECT_EQ(result.substr(11), "e{#&}");
}

TEST(SimCli, HelpSucceedsAndBadOptionsFail) {
  const auto run = [](const std::string& args, std::string* output) {
    FILE* pipe = ::popen(("'" KVZ03_SIM_PATH "' " + args + " 2>/dev/null").c_str(), "r");
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
      output->append(chunk, n);
    return ::pclose(pipe);
  };
  std::string help;
  int status = run("--help", &help);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (const char* word : {"--link", "--demo-interval", "work U1 U2 CODE MODE", "replug"})
    EXPECT_NE(help.find(word), std::string::npos) << word;

  std::string ignored;
  status = run("--mode", &ignored);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
