#pragma once
// The virtual printer for end-to-end tests: started on 127.0.0.1 on a given port with its
// labels, log and control file in a private folder, its faults changed while it runs.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/run_filter.h"

class VirtualPrinter {
 public:
  // Starts it with `args` added to its command line and waits until it takes connections
  // (or, when it starts offline, until it has written its first log line).
  VirtualPrinter(int port, const std::vector<std::string> &args = {});
  ~VirtualPrinter();  // stops it (SIGTERM) and waits for it
  VirtualPrinter(const VirtualPrinter &) = delete;
  VirtualPrinter &operator=(const VirtualPrinter &) = delete;

  // Writes the control file and waits until the printer has read it.
  void SetFaults(const std::string &orders);

  // The lines of printed.log: one per printed label, in the order printed.
  std::vector<std::string> Printed() const;
  // Printed(), once it has `count` lines or 10 seconds have passed.
  std::vector<std::string> PrintedAtLeast(size_t count) const;
  std::string Log() const;
  std::string LabelPath(int number) const;  // label-000001.png for 1
  int port() const { return port_; }
  std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(port_); }

 private:
  TempDir dir_;
  int port_;
  pid_t pid_ = -1;
};

// Connects to 127.0.0.1:port; the socket, or -1 when nothing takes the connection.
int ConnectTo(int port);

// Sends `bytes` on a new connection, then reads whatever comes back until the printer
// closes, or `wait` seconds pass with nothing new. `sent` is how many bytes went out.
struct Exchange {
  bool connected = false;
  size_t sent = 0;
  std::string answer;
};
Exchange SendToPrinter(int port, const std::string &bytes, double wait = 0.5);
