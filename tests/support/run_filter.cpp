#include "tests/support/run_filter.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "filter/log.h"

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

TempDir::TempDir() {
  char pattern[] = "/tmp/vantel-test.XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> LogMessages(const std::string &logText) {
  static const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} )");
  std::vector<std::string> messages;
  size_t start = 0;
  while (start < logText.size()) {
    size_t end = logText.find("\r\n", start);
    if (end == std::string::npos) {
      messages.push_back("BAD:" + logText.substr(start));
      break;
    }
    std::string line = logText.substr(start, end - start);
    start = end + 2;
    std::smatch match;
    if (line.empty()) {
      messages.push_back("");  // the blank line after a message that ends in CR LF
    } else if (std::regex_search(line, match, stamp)) {
      messages.push_back(line.substr(match.length()));
    } else {
      messages.push_back("BAD:" + line);
    }
  }
  return messages;
}

Running StartProgram(const std::string &program, const std::vector<std::string> &args,
                     const std::string *input, const std::vector<std::string> &env,
                     bool keepLog) {
  Running running;
  running.dir = std::make_shared<TempDir>();
  const std::string inPath = running.dir->path + "/stdin", errPath = running.dir->path + "/stderr";
  if (input) WriteFile(inPath, *input);

  // VANTEL_TEST_WRAPPER (for instance "valgrind -q --error-exitcode=99") runs the filter
  // under a checking tool: its words go in front of the filter's argv.
  std::vector<std::string> words;
  std::string path = program;
#ifdef CROSS_EMULATOR
  // A cross build's filter and preview run under the emulator, which passes on the
  // argv[0] they were given (their wrapper scripts can't: the kernel gives a script its
  // own path).
  const std::pair<std::string, std::string> emulated[] = {{FILTER_PATH, FILTER_PROGRAM},
                                                          {PREVIEW_PATH, PREVIEW_PROGRAM}};
  for (const auto &[wrapper, real] : emulated) {
    if (program != wrapper || args.empty()) continue;
    std::istringstream split(CROSS_EMULATOR);
    for (std::string word; split >> word;) words.push_back(word);
    words.insert(words.end(), {"-0", args[0], real});
    words.insert(words.end(), args.begin() + 1, args.end());
    path = words[0];
  }
#endif
  if (!words.empty()) {
    // Run by the emulator.
  } else if (const char *wrapper = getenv("VANTEL_TEST_WRAPPER");
             wrapper && *wrapper && program == FILTER_PATH) {
    std::istringstream split(wrapper);
    for (std::string word; split >> word;) words.push_back(word);
    path = words[0];
    words.push_back(program);
    words.insert(words.end(), args.begin() + 1, args.end());
  } else {
    words = args;
  }

  std::vector<char *> argv, envp;
  for (const std::string &a : words) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  // The sanitizers' settings pass through, so a sanitizer build of the filter runs with
  // the suppressions and options the test run was given.
  std::vector<std::string> environment = env;
  for (const char *name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char *value = getenv(name)) environment.push_back(std::string(name) + "=" + value);
  }
  for (const std::string &e : environment) envp.push_back(const_cast<char *>(e.c_str()));
  envp.push_back(nullptr);

  if (!keepLog) unlink(VANTEL_LOG_PATH);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(VANTEL_LOG_PATH).parent_path(), ignored);

  int inPipe[2] = {-1, -1}, outPipe[2];
  if ((!input && pipe2(inPipe, O_CLOEXEC) != 0) || pipe2(outPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  running.pid = fork();
  if (running.pid < 0) throw std::runtime_error("fork");
  if (running.pid == 0) {
    int in = input ? open(inPath.c_str(), O_RDONLY) : inPipe[0];
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(outPipe[1], 1);
    dup2(err, 2);
    execvpe(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (!input) close(inPipe[0]);
  close(outPipe[1]);
  running.in = inPipe[1];
  running.out = outPipe[0];
  return running;
}

std::string ReadOutput(Running &running, size_t bytes) {
  std::string out;
  char chunk[65536];
  while (out.size() < bytes) {
    const ssize_t n = read(running.out, chunk, std::min(sizeof chunk, bytes - out.size()));
    if (n <= 0) break;
    out.append(chunk, static_cast<size_t>(n));
  }
  return out;
}

RunResult FinishProgram(Running &running, const std::string &before) {
  if (running.in >= 0) close(running.in);
  running.in = -1;
  RunResult result;
  result.out = before + ReadOutput(running, SIZE_MAX);
  close(running.out);
  int wstatus = 0;
  waitpid(running.pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.err = ReadFile(running.dir->path + "/stderr");
  result.logText = ReadFile(VANTEL_LOG_PATH);
  result.log = LogMessages(result.logText);
  return result;
}

RunResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                     const std::string &input, const std::vector<std::string> &env,
                     bool keepLog) {
  Running running = StartProgram(program, args, &input, env, keepLog);
  return FinishProgram(running);
}

RunResult RunFilter(const std::string &options, const std::string &input,
                    const std::vector<std::string> &env) {
  return RunProgram(FILTER_PATH, {"q", "17", "user", "title", "1", options}, input, env);
}
