#pragma once
// Runs a built program as CUPS runs a filter: argv, environment and standard input as
// given, standard output and error captured, the diagnostic log read back afterwards.

#include <string>
#include <vector>

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

// The filter under test with the usual CUPS arguments in front of `options`.
RunResult RunFilter(const std::string &options, const std::string &input,
                    const std::vector<std::string> &env = {});

// Splits the log into messages; a line without a well-formed timestamp is kept whole,
// prefixed with "BAD:", so that a format fault fails the comparison that reads it.
std::vector<std::string> LogMessages(const std::string &logText);

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);

// A fresh directory under /tmp, removed with its contents by the destructor.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string path;
};
