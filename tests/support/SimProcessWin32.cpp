#include "tests/support/SimProcess.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kCommandTimeout = std::chrono::seconds(5);
// Longer than any one test holds its simulator, should several test programs run at once.
constexpr auto kClaimTimeout = std::chrono::seconds(60);
constexpr auto kPollPause = std::chrono::milliseconds(10);

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    throw std::runtime_error(std::string(name) + " unset: run scripts/wine-tests.py");
  return value;
}

// What a simulator started with these options would be, as commands to a running one.
std::vector<std::string> StartCommands(const std::vector<std::string>& args) {
  std::vector<std::string> commands{"reset"};
  for (auto arg = args.begin(); arg != args.end(); ++arg) {
    if (*arg == "--not-ready") {
      commands.push_back("ready 0");
    } else if ((*arg == "--mode" || *arg == "--id") && std::next(arg) != args.end()) {
      // "state" sets the mode the polls report; "mode" would also send a frame to no one.
      const std::string command = *arg == "--mode" ? "state " : "id ";
      commands.push_back(command + *++arg);
    } else {
      throw std::runtime_error("kvz03-sim option not supported under Wine: " + *arg);
    }
  }
  return commands;
}

}  // namespace

// The claim on a pool simulator and the two files it is driven through.
struct SimProcess::State {
  ~State() {
    if (claim != INVALID_HANDLE_VALUE) CloseHandle(claim);
  }

  HANDLE claim = INVALID_HANDLE_VALUE;
  std::string inFile;
  std::string logFile;
};

SimProcess::SimProcess(std::vector<std::string> args) : state_(std::make_unique<State>()) {
  HANDLE& claim = state_->claim;
  const std::string dir = Environment("KVZ_WINE_SIM_DIR") + "\\";
  std::istringstream list(Environment("KVZ_WINE_SIM_POOL"));
  const std::vector<std::string> pool{std::istream_iterator<std::string>(list), {}};
  const auto deadline = Clock::now() + kClaimTimeout;
  // The claim is a lock file held open without sharing; it goes away with the handle, even when
  // the test program dies.
  while (claim == INVALID_HANDLE_VALUE) {
    for (const std::string& port : pool) {
      const std::string lock = dir + port + ".lock";
      claim = CreateFileA(lock.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_FLAG_DELETE_ON_CLOSE, nullptr);
      if (claim != INVALID_HANDLE_VALUE) {
        port_ = port;
        break;
      }
      if (const DWORD error = GetLastError(); error != ERROR_SHARING_VIOLATION)
        throw std::runtime_error("cannot claim " + lock + ": error " + std::to_string(error));
    }
    if (claim == INVALID_HANDLE_VALUE && Clock::now() > deadline)
      throw std::runtime_error("no simulated detector of KVZ_WINE_SIM_POOL became free");
    if (claim == INVALID_HANDLE_VALUE) std::this_thread::sleep_for(kPollPause);
  }
  state_->inFile = dir + port_ + ".in";
  state_->logFile = dir + port_ + ".out";
  // On a throw the state's destructor gives the claim back.
  for (const std::string& command : StartCommands(args)) Command(command);
}

SimProcess::~SimProcess() = default;

void SimProcess::Command(const std::string& line) {
  // Only the answers after what the log holds now belong to this command.
  std::ifstream log(state_->logFile, std::ios::binary | std::ios::ate);
  if (!log) throw std::runtime_error("cannot read " + state_->logFile);
  std::streamoff seen = log.tellg();
  if (!(std::ofstream(state_->inFile, std::ios::binary | std::ios::app) << line << '\n'
                                                                        << std::flush))
    throw std::runtime_error("cannot write to " + state_->inFile);
  // The log is a file that grows, with nothing to wait on: it is looked at again and again.
  const auto deadline = Clock::now() + kCommandTimeout;
  for (;;) {
    log.clear();
    log.seekg(seen);
    std::string reply;
    while (std::getline(log, reply) && !log.eof()) {
      seen = log.tellg();
      if (reply == "ok") return;
      if (reply.starts_with("error"))
        throw std::runtime_error("kvz03-sim " + port_ + " '" + line + "': " + reply);
    }
    if (Clock::now() > deadline)
      throw std::runtime_error("kvz03-sim " + port_ + ": no answer to '" + line + "' within 5 s");
    std::this_thread::sleep_for(kPollPause);
  }
}
