#pragma once
// Runs a built program as CUPS runs a filter: argv, environment and standard input as
// given, standard output and error captured, the diagnostic log read back afterwards.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

// A fresh directory under /tmp, removed with its contents by the destructor.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string path;
};

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
  std::string logText;            // the log file as written, "" when there is none
  std::vector<std::string> log;   // its lines, timestamps and CR LF removed
};

// Runs `program` with argv = args (args[0] included). `env` is the whole environment.
// The log file is removed first, so that a stale one can't pass for this run's, unless
// keepLog is set.
RunResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                     const std::string &input, const std::vector<std::string> &env = {},
                     bool keepLog = false);

// A program started and not yet finished: the test writes its standard input (when it is
// a pipe) and reads its standard output when it likes, so that it can hold the program
// at a read or a write.
struct Running {
  pid_t pid = -1;
  int in = -1;   // write end of its standard input when that is a pipe, else -1
  int out = -1;  // read end of its standard output
  std::shared_ptr<TempDir> dir;  // its standard input and error files
};

// Starts `program` as RunProgram runs it, with standard output on a pipe. Standard input
// is the bytes of `*input`, or a pipe the test writes through `in` when input is null.
Running StartProgram(const std::string &program, const std::vector<std::string> &args,
                     const std::string *input, const std::vector<std::string> &env = {},
                     bool keepLog = false);

// Reads the program's standard output until it has `bytes` bytes or the output ends.
std::string ReadOutput(Running &running, size_t bytes);

// Closes its standard input, reads its output to the end, waits for it, and gives what
// RunProgram gives; `before` is output the test already read, which goes in front.
RunResult FinishProgram(Running &running, const std::string &before = "");

// The filter under test with the usual CUPS arguments in front of `options`.
RunResult RunFilter(const std::string &options, const std::string &input,
                    const std::vector<std::string> &env = {});

// Splits the log into messages; a line without a well-formed timestamp is kept whole,
// prefixed with "BAD:", so that a format fault fails the comparison that reads it.
std::vector<std::string> LogMessages(const std::string &logText);

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);

