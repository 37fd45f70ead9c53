// vantel-virtual-printer: a label printer on a raw TCP socket, for tests and for trying a
// queue before the printer arrives. It reads the label command stream as a printer does,
// draws every printed label as a PNG, answers the status query ESC ! ? with one status
// byte, and has the faults it is ordered to have, from its command line or a control file
// it reads again whenever it changes.

#include <arpa/inet.h>
#include <fcntl.h>
#include <getopt.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/maintenance.h"
#include "picture/label_image.h"
#include "virtual-printer/printer_model.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxLabelBytes = 64u << 20;  // the largest label the printer takes in
constexpr size_t kHeldLabels = 64;            // labels it holds before it stops reading
constexpr size_t kHeldLabelsAtSpeed = 2;      // ... when each takes the time it takes

const char kUsage[] =
    "Usage: vantel-virtual-printer [OPTIONS]\n"
    "A label printer on a raw TCP socket: send it what rastertovantel writes (a CUPS\n"
    "queue with the device socket://127.0.0.1:PORT/?snmp=false) and it draws each printed\n"
    "label as DIR/label-000001.png, ..., one per copy, with a line in DIR/printed.log.\n"
    "  -p, --port N             the port (default 9100 for root, else one that is free)\n"
    "  -a, --address ADDR       the address to listen on (default 127.0.0.1)\n"
    "  -o, --output DIR         where the labels go (default labels)\n"
    "  -l, --log FILE           the printer's log (default standard error)\n"
    "  -c, --control FILE       faults to have, one order a line, read again when it changes\n"
    "      --dpi N              the print head's resolution (default 203)\n"
    "      --head-width MM      the widest label it takes (default 108)\n"
    "Faults, on the command line or as the control file's lines (without the --):\n"
    "      --out-of-paper-after N   the roll ends after N more labels\n"
    "      --out-of-paper           the roll is empty\n"
    "      --head-open | --paper-jam | --ribbon-out | --paused | --error\n"
    "      --offline                switched off: refuses connections\n"
    "      --drop-after N           closes each connection after N bytes\n"
    "      --real-speed             each label takes the time its SPEED gives it\n"
    "      --no-status              never answers the status query\n";

volatile sig_atomic_t g_stop = 0;
void Stop(int) { g_stop = 1; }

struct FdCloser {
  void operator()(int *fd) const {
    close(*fd);
    delete fd;
  }
};
using Fd = std::unique_ptr<int, FdCloser>;
Fd MakeFd(int fd) { return fd < 0 ? Fd{} : Fd{new int{fd}}; }

struct Settings {
  std::string address = "127.0.0.1";
  int port = -1;
  std::string dir = "labels";
  std::string logPath, control;
  int dpi = 203, headWidthMm = 108;
  PrinterOrders orders;  // from the command line
};

// A label taken in and not yet printed whole, or one of the printer's own commands (a
// self-test, a feed, a calibration), which waits its turn among the labels.
struct HeldLabel {
  StreamLabel label;
  int64_t copies = 0, printedCopies = 0;
  uint64_t connection = 0;
  int number = 0;       // its place among the connection's labels, or its commands
  std::string command;  // the command's name; empty for a label
};

struct Printer {
  Settings settings;
  FILE *log = stderr;
  FILE *index = nullptr;
  std::string controlText;
  PrinterOrders orders;               // in force: the command line's and the control file's
  std::optional<int64_t> paperOrder;  // the out-of-paper order last seen
  std::optional<int64_t> paperLeft;   // labels left on the roll; none: endless
  std::deque<HeldLabel> held;
  Clock::time_point busyUntil{};
  bool copyUnderHead = false;  // at real speed: the first held label's next copy is printing
  uint64_t fileNumber = 0, connections = 0;
  int boundPort = 0;
  Fd listener, client;
  StreamInput input;
  uint64_t clientBytes = 0;
  int clientLabels = 0, clientCommands = 0;
};

void Log(Printer &p, const char *format, ...) __attribute__((format(printf, 2, 3)));
void Log(Printer &p, const char *format, ...) {
  const auto now = std::chrono::system_clock::now();
  const time_t seconds = std::chrono::system_clock::to_time_t(now);
  const int ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  fprintf(p.log, "%s.%03d ", stamp, ms);
  va_list args;
  va_start(args, format);
  vfprintf(p.log, format, args);
  va_end(args);
  fputc('\n', p.log);
  fflush(p.log);
}

bool PaperOut(const Printer &p) { return p.paperLeft && *p.paperLeft <= 0; }

bool Printing(const Printer &p) { return !p.held.empty() || Clock::now() < p.busyUntil; }

// Thousandths as the stream writes them: "0.120", "-0.039".
std::string Decimal(int32_t thousandths) {
  char text[24];
  snprintf(text, sizeof text, "%s%d.%03d", thousandths < 0 ? "-" : "", std::abs(thousandths / 1000),
           std::abs(thousandths % 1000));
  return text;
}

// The setup a label was printed with, as the stream gave it.
std::string SetupText(const StreamLabel &l) {
  auto onOff = [](int32_t v) { return v ? "ON" : "OFF"; };
  const std::string cutter = l.cutterBatch ? "BATCH"
                             : l.cutter > 1 ? std::to_string(l.cutter)
                                            : onOff(l.cutter);
  char text[512];
  snprintf(text, sizeof text,
           "SIZE %dmm,%dmm %s %s,%s SPEED %d DENSITY %d DIRECTION %d,%d REFERENCE %d,%d "
           "OFFSET %s SHIFT %d PEEL %s CUTTER %s PARTIAL_CUTTER %s TEAR %s BITMAP %d,%d,%d,%d "
           "PRINT %d,%d",
           l.widthMm, l.heightMm, l.blackMark ? "BLINE" : "GAP", Decimal(l.gap).c_str(),
           Decimal(l.gapOffset).c_str(), l.speed, l.density, l.direction, l.mirror, l.referenceX,
           l.referenceY, Decimal(l.feedOffset).c_str(), l.shift, onOff(l.peel), cutter.c_str(),
           onOff(l.partialCutter), onOff(l.tear), l.bitmapX, l.bitmapY, l.widthBytes, l.height,
           l.sets, l.copies);
  return text;
}

// Carries out one of the printer's own commands: a line in printed.log, and a label of the
// roll for the self-test and the feed.
void DoCommand(Printer &p, const HeldLabel &h) {
  const char *does = "";
  for (const printer_command_t &command : kPrinterCommands)
    if (h.command == command.name) does = command.does;
  if (p.paperLeft && (h.command == "SELFTEST" || h.command == "FORMFEED")) --*p.paperLeft;
  fprintf(p.index, "%s: connection %llu, command %d: %s\n", h.command.c_str(),
          static_cast<unsigned long long>(h.connection), h.number, does);
  fflush(p.index);
}

// Prints one copy of the first held label: its picture, and its line in printed.log.
void PrintCopy(Printer &p) {
  HeldLabel &h = p.held.front();
  const StreamLabel &label = h.label;
  char name[32];
  snprintf(name, sizeof name, "label-%06llu.png", static_cast<unsigned long long>(++p.fileNumber));
  const std::string error =
      WriteLabelPng(p.settings.dir + "/" + name, label, MmToDots(label.widthMm, p.settings.dpi),
                    MmToDots(label.heightMm, p.settings.dpi), p.settings.dpi);
  ++h.printedCopies;
  if (p.paperLeft) --*p.paperLeft;
  if (!error.empty()) Log(p, "could not draw %s: %s", name, error.c_str());
  fprintf(p.index, "%s: connection %llu, label %d, copy %lld of %lld: %s\n", name,
          static_cast<unsigned long long>(h.connection), h.number,
          static_cast<long long>(h.printedCopies), static_cast<long long>(h.copies),
          SetupText(label).c_str());
  fflush(p.index);
  if (PaperOut(p)) Log(p, "out of paper after %s", name);
}

// Prints what it can: nothing while a fault stops it or a label is still going through.
// At real speed a copy is on paper, and drawn, only once its print time has passed: one
// cut off by a switch-off is lost with the labels waiting.
void PrintHeld(Printer &p) {
  while (!p.held.empty() && !Stopped(p.orders, PaperOut(p)) && Clock::now() >= p.busyUntil) {
    HeldLabel &h = p.held.front();
    if (!h.command.empty()) {
      DoCommand(p, h);
      p.held.pop_front();
      continue;
    }
    if (h.printedCopies >= h.copies) {
      p.held.pop_front();
      continue;
    }
    if (p.orders.realSpeed && !p.copyUnderHead) {
      p.copyUnderHead = true;
      p.busyUntil = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(PrintSeconds(h.label)));
      break;
    }
    p.copyUnderHead = false;
    PrintCopy(p);
  }
  while (!p.held.empty() && p.held.front().command.empty() &&
         p.held.front().printedCopies >= p.held.front().copies)
    p.held.pop_front();
}

std::string OrdersText(const PrinterOrders &o, const std::optional<int64_t> &paperLeft) {
  std::string text;
  auto add = [&](bool on, const std::string &word) {
    if (on) text += (text.empty() ? "" : ", ") + word;
  };
  add(o.paperLabels.has_value(), "paper for " + std::to_string(paperLeft.value_or(0)) + " labels");
  add(o.headOpen, "head open");
  add(o.paperJam, "paper jam");
  add(o.ribbonOut, "out of ribbon");
  add(o.paused, "paused");
  add(o.otherError, "error");
  add(o.offline, "offline");
  add(o.dropAfter.has_value(), "drop after " + std::to_string(o.dropAfter.value_or(0)) + " bytes");
  add(o.realSpeed, "real speed");
  add(o.noStatus, "no status");
  return text.empty() ? "none" : text;
}

// Reads the control file again when its text changed. A file that can't be read counts
// as empty; orders that can't be read leave the ones in force.
void RefreshOrders(Printer &p, bool first) {
  std::string text;
  if (!p.settings.control.empty()) {
    std::ifstream file(p.settings.control, std::ios::binary);
    std::ostringstream all;
    all << file.rdbuf();
    text = all.str();
  }
  if (!first && text == p.controlText) return;
  p.controlText = text;
  PrinterOrders fileOrders;
  const std::string error = ReadOrders(text, fileOrders);
  if (!error.empty()) {
    Log(p, "control file %s: %s; the orders stay as they were", p.settings.control.c_str(),
        error.c_str());
    return;
  }
  p.orders = MergeOrders(p.settings.orders, fileOrders);
  if (first || p.orders.paperLabels != p.paperOrder) {
    p.paperOrder = p.orders.paperLabels;
    p.paperLeft = p.orders.paperLabels;
  }
  Log(p, "faults: %s", OrdersText(p.orders, p.paperLeft).c_str());
}

bool Listen(Printer &p) {
  Fd fd = MakeFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  const int on = 1;
  setsockopt(*fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(p.boundPort));
  if (inet_pton(AF_INET, p.settings.address.c_str(), &address.sin_addr) != 1) {
    errno = EINVAL;
    return false;
  }
  if (bind(*fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      listen(*fd, 16) != 0)
    return false;
  socklen_t length = sizeof address;
  getsockname(*fd, reinterpret_cast<sockaddr *>(&address), &length);
  p.boundPort = ntohs(address.sin_port);
  p.listener = std::move(fd);
  return true;
}

// Ends the connection; `reset` drops it as a printer that goes away does.
void EndConnection(Printer &p, bool reset, const char *why) {
  if (const std::optional<std::string> left = EndInput(p.input))
    Log(p, "connection %llu: %s", static_cast<unsigned long long>(p.connections), left->c_str());
  if (reset) {
    const linger hard{1, 0};
    setsockopt(*p.client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  Log(p, "connection %llu %s: %llu bytes, %d labels", static_cast<unsigned long long>(p.connections),
      why, static_cast<unsigned long long>(p.clientBytes), p.clientLabels);
  p.client.reset();
}

void Answer(Printer &p) {
  PrintHeld(p);
  if (p.orders.noStatus) {
    Log(p, "status query: not answered");
    return;
  }
  const uint8_t status = StatusByte(p.orders, PaperOut(p), Printing(p));
  if (send(*p.client, &status, 1, MSG_NOSIGNAL) != 1) return;
  Log(p, "status query: answered 0x%02X (%s)", status, StatusWords(status).c_str());
}

void TakeIn(Printer &p, const InputItem &item) {
  if (item.kind == InputItem::kStatusQuery) return Answer(p);
  if (item.kind == InputItem::kCommand) {
    ++p.clientCommands;
    p.held.push_back({{}, 0, 0, p.connections, p.clientCommands, item.text});
    PrintHeld(p);
    if (!p.held.empty() && Stopped(p.orders, PaperOut(p)))
      Log(p, "%s waits: %s", item.text.c_str(),
          StatusWords(StatusByte(p.orders, PaperOut(p), false)).c_str());
    return;
  }
  if (item.kind == InputItem::kRefused) {
    Log(p, "connection %llu: refused %s", static_cast<unsigned long long>(p.connections),
        item.text.c_str());
    return;
  }
  ++p.clientLabels;
  const std::string refusal = RefusalOf(item.label, p.settings.dpi, p.settings.headWidthMm);
  if (!refusal.empty()) {
    Log(p, "connection %llu: refused label %d at byte %zu: %s",
        static_cast<unsigned long long>(p.connections), p.clientLabels, item.label.offset,
        refusal.c_str());
    return;
  }
  HeldLabel h{item.label, int64_t{item.label.sets} * item.label.copies, 0, p.connections,
              p.clientLabels, ""};
  if (h.copies == 0) Log(p, "connection %llu: label %d asks for no copy",
                         static_cast<unsigned long long>(p.connections), p.clientLabels);
  p.held.push_back(std::move(h));
  PrintHeld(p);
  if (!p.held.empty() && Stopped(p.orders, PaperOut(p)))
    Log(p, "label %d waits: %s", p.clientLabels,
        StatusWords(StatusByte(p.orders, PaperOut(p), false)).c_str());
}

void ReadClient(Printer &p) {
  static uint8_t chunk[65536];
  size_t want = sizeof chunk;
  if (p.orders.dropAfter) want = std::min<uint64_t>(want, *p.orders.dropAfter - p.clientBytes);
  const ssize_t n = want == 0 ? 0 : recv(*p.client, chunk, want, 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) return EndConnection(p, false, n == 0 ? "ended" : "failed");
  p.clientBytes += n;
  // The input buffer is taken in as the previous items settle: copy the items out first.
  for (const InputItem &item : TakeInput(p.input, {chunk, size_t(n)}, kMaxLabelBytes))
    TakeIn(p, item);
  if (p.orders.dropAfter && p.clientBytes >= *p.orders.dropAfter)
    EndConnection(p, true, "dropped by order");
}

int ParseArguments(int argc, char *argv[], Settings &s) {
  enum { kDpi = 256, kHead, kFault };
  static const option options[] = {
      {"port", required_argument, nullptr, 'p'},     {"address", required_argument, nullptr, 'a'},
      {"output", required_argument, nullptr, 'o'},   {"log", required_argument, nullptr, 'l'},
      {"control", required_argument, nullptr, 'c'},  {"dpi", required_argument, nullptr, kDpi},
      {"head-width", required_argument, nullptr, kHead},
      {"out-of-paper-after", required_argument, nullptr, kFault},
      {"drop-after", required_argument, nullptr, kFault},
      {"out-of-paper", no_argument, nullptr, kFault}, {"head-open", no_argument, nullptr, kFault},
      {"paper-jam", no_argument, nullptr, kFault},   {"ribbon-out", no_argument, nullptr, kFault},
      {"paused", no_argument, nullptr, kFault},      {"error", no_argument, nullptr, kFault},
      {"offline", no_argument, nullptr, kFault},     {"real-speed", no_argument, nullptr, kFault},
      {"no-status", no_argument, nullptr, kFault},   {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0}};
  auto number = [](const char *text, long low, long high, long &value) {
    char *end = nullptr;
    errno = 0;
    value = strtol(text, &end, 10);
    return !errno && end != text && !*end && value >= low && value <= high;
  };
  std::string faults;
  int choice, index = 0;
  long value = 0;
  while ((choice = getopt_long(argc, argv, "p:a:o:l:c:h", options, &index)) != -1) {
    switch (choice) {
      case 'p':
        if (!number(optarg, 0, 65535, value)) {
          fprintf(stderr, "ERROR: --port takes a number from 0 to 65535, not \"%s\"\n", optarg);
          return 1;
        }
        s.port = static_cast<int>(value);
        break;
      case 'a': s.address = optarg; break;
      case 'o': s.dir = optarg; break;
      case 'l': s.logPath = optarg; break;
      case 'c': s.control = optarg; break;
      case kDpi:
      case kHead:
        if (!number(optarg, 1, choice == kDpi ? 2400 : 1000, value)) {
          fprintf(stderr, "ERROR: --%s takes a whole number, not \"%s\"\n", options[index].name,
                  optarg);
          return 1;
        }
        (choice == kDpi ? s.dpi : s.headWidthMm) = static_cast<int>(value);
        break;
      case kFault:
        faults += std::string(options[index].name) + (optarg ? std::string(" ") + optarg : "") + "\n";
        break;
      case 'h': fputs(kUsage, stdout); return -1;
      default: fputs(kUsage, stderr); return 1;
    }
  }
  if (optind < argc) {
    fputs(kUsage, stderr);
    return 1;
  }
  const std::string error = ReadOrders(faults, s.orders);
  if (!error.empty()) {
    fprintf(stderr, "ERROR: %s\n", error.substr(error.find(": ") + 2).c_str());
    return 1;
  }
  if (s.port < 0) s.port = geteuid() == 0 ? 9100 : 0;
  return 0;
}

// The number of the last label-NNNNNN.png already in `dir`, so that a new run adds to it.
uint64_t LastLabelNumber(const std::string &dir) {
  uint64_t last = 0;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(dir, error)) {
    unsigned long long n = 0;
    char tail[8] = "";
    if (sscanf(entry.path().filename().c_str(), "label-%llu.%4s", &n, tail) == 2 &&
        strcmp(tail, "png") == 0 && n > last)
      last = n;
  }
  return last;
}

}  // namespace

int main(int argc, char *argv[]) {
  Printer p;
  if (const int status = ParseArguments(argc, argv, p.settings)) return status < 0 ? 0 : status;
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, Stop);
  signal(SIGINT, Stop);

  std::unique_ptr<FILE, int (*)(FILE *)> log{nullptr, fclose};
  if (!p.settings.logPath.empty()) {
    log.reset(fopen(p.settings.logPath.c_str(), "a"));
    if (!log) {
      fprintf(stderr, "ERROR: Unable to open %s: %s\n", p.settings.logPath.c_str(), strerror(errno));
      return 1;
    }
    p.log = log.get();
  }
  std::error_code made;
  std::filesystem::create_directories(p.settings.dir, made);
  std::unique_ptr<FILE, int (*)(FILE *)> index{
      fopen((p.settings.dir + "/printed.log").c_str(), "a"), fclose};
  if (!index) {
    fprintf(stderr, "ERROR: Unable to write into %s: %s\n", p.settings.dir.c_str(), strerror(errno));
    return 1;
  }
  p.index = index.get();
  p.fileNumber = LastLabelNumber(p.settings.dir);
  p.boundPort = p.settings.port;
  RefreshOrders(p, true);
  if (!p.orders.offline && !Listen(p)) {
    fprintf(stderr, "ERROR: Unable to listen on %s:%d: %s\n", p.settings.address.c_str(),
            p.settings.port, strerror(errno));
    return 1;
  }
  printf("vantel-virtual-printer: %s %s:%d, labels into %s\n",
         p.orders.offline ? "offline, later on" : "listening on", p.settings.address.c_str(),
         p.boundPort, p.settings.dir.c_str());
  fflush(stdout);
  if (p.orders.offline)
    Log(p, "offline: refusing connections on %s:%d", p.settings.address.c_str(), p.boundPort);
  else
    Log(p, "listening on %s:%d", p.settings.address.c_str(), p.boundPort);

  auto lastRefresh = Clock::now();
  while (!g_stop) {
    if (Clock::now() - lastRefresh >= std::chrono::milliseconds(100)) {
      RefreshOrders(p, false);
      lastRefresh = Clock::now();
    }
    if (p.orders.offline) {
      if (p.client) EndConnection(p, true, "cut: switched off");
      if (!p.held.empty()) Log(p, "switched off: %zu labels not printed are lost", p.held.size());
      p.held.clear();
      p.copyUnderHead = false;
      p.busyUntil = {};
      if (p.listener) Log(p, "offline: refusing connections");
      p.listener.reset();
    } else if (!p.listener) {
      if (Listen(p)) Log(p, "online: listening on %s:%d", p.settings.address.c_str(), p.boundPort);
    }
    PrintHeld(p);

    pollfd fds[1]{};
    int count = 0;
    const size_t room = p.orders.realSpeed ? kHeldLabelsAtSpeed : kHeldLabels;
    if (p.client && p.held.size() < room) fds[count++] = {*p.client, POLLIN, 0};
    else if (!p.client && p.listener) fds[count++] = {*p.listener, POLLIN, 0};
    int timeout = 50;
    if (Printing(p) && Clock::now() < p.busyUntil)
      timeout = std::clamp<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    p.busyUntil - Clock::now()).count() + 1, 1, 50);
    if (poll(fds, count, timeout) <= 0) continue;
    if (!p.client && p.listener && *p.listener == fds[0].fd) {
      sockaddr_in peer{};
      socklen_t length = sizeof peer;
      p.client = MakeFd(accept4(*p.listener, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_CLOEXEC));
      if (!p.client) continue;
      ++p.connections;
      p.clientBytes = 0;
      p.clientLabels = 0;
      p.clientCommands = 0;
      p.input = {};
      char host[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &peer.sin_addr, host, sizeof host);
      Log(p, "connection %llu from %s:%d", static_cast<unsigned long long>(p.connections), host,
          ntohs(peer.sin_port));
      continue;
    }
    ReadClient(p);
  }
  if (p.client) EndConnection(p, false, "ended: the printer stops");
  if (!p.held.empty()) Log(p, "stopped with %zu labels not printed", p.held.size());
  Log(p, "stopped");
  return 0;
}
