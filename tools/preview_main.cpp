// label-preview: shows what the printer would make of the filter's output. Reads a label
// command stream (a file, or standard input) and draws every label as a PNG, one pixel
// per printer dot, with a one-line summary of each label on standard output.

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "picture/label_image.h"
#include "core/label_stream.h"
#include "core/maintenance.h"

namespace {

constexpr int kDefaultDpi = 203;
constexpr long kMaxDpi = 2400;

const char kUsage[] =
    "Usage: label-preview [--dpi N] [-o PREFIX] [FILE]\n"
    "Draws each label of a label command stream (the output of rastertovantel) as\n"
    "PREFIX-1.png, PREFIX-2.png, ... at one pixel per printer dot, printed dots black,\n"
    "and prints one line per label. FILE is read, or standard input when it is absent\n"
    "or \"-\". PREFIX is FILE without its extension, or \"label\" for standard input.\n"
    "  --dpi N       the printer's resolution in dots per inch (default 203)\n"
    "  -o PREFIX     where the pictures go\n";

// The whole of `file`; false when it could not be read.
bool ReadAll(FILE *file, std::vector<uint8_t> &bytes) {
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  return !ferror(file);
}

// "build/sample/label.prn" -> "build/sample/label"; a dot in a folder name is kept.
std::string WithoutExtension(const std::string &path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1))
    return path;
  return path.substr(0, dot);
}

// "left edge", "left and top edges", "left, top and right edges".
std::string Edges(const BitmapFit &fit) {
  std::vector<const char *> edges;
  if (fit.left) edges.push_back("left");
  if (fit.top) edges.push_back("top");
  if (fit.right) edges.push_back("right");
  if (fit.bottom) edges.push_back("bottom");
  std::string text;
  for (size_t i = 0; i < edges.size(); ++i) {
    if (i > 0) text += i + 1 == edges.size() ? " and " : ", ";
    text += edges[i];
  }
  return text + (edges.size() == 1 ? " edge" : " edges");
}

// Thousandths of an inch as the stream writes them: "0.118".
std::string Inches(int32_t thousandths) {
  char text[24];
  snprintf(text, sizeof text, "%s%d.%03d", thousandths < 0 ? "-" : "",
           static_cast<int>(std::abs(int64_t{thousandths}) / 1000),
           static_cast<int>(std::abs(int64_t{thousandths}) % 1000));
  return text;
}

// What the label asks of the stock and the finishing where it differs from a plain
// gap label torn off (GAP 0.120,0.000, DIRECTION 0,0, OFFSET 0.000, SHIFT 0, tear on):
// ", black mark 0.098 in + 0.039 in, peel-off, offset -0.039 in", or nothing.
std::string MediaAndFinishing(const StreamLabel &label) {
  std::string text;
  const auto add = [&text](const std::string &part) { text += ", " + part; };
  if (label.blackMark) {
    add("black mark " + Inches(label.gap) + " in");
  } else if (label.gap == 0 && label.gapOffset == 0) {
    add("continuous");
  } else if (label.gap != 120 || label.gapOffset != 0) {
    add("gap " + Inches(label.gap) + " in");
  }
  if (label.gapOffset != 0) text += " + " + Inches(label.gapOffset) + " in";
  if (label.direction != 0 || label.mirror != 0)
    add(label.direction != 0 && label.mirror != 0 ? "upside down and mirrored"
        : label.direction != 0                    ? "upside down"
                                                  : "mirrored");
  if (label.feedOffset != 0) add("offset " + Inches(label.feedOffset) + " in");
  if (label.shift != 0) add("shift " + std::to_string(label.shift) + " dots");
  if (label.peel) add("peel-off");
  if (label.cutterBatch) add("cut after the job");
  if (label.cutter == 1) add("cut every label");
  if (label.cutter > 1) add("cut every " + std::to_string(label.cutter) + " labels");
  if (label.partialCutter) add("partial cut");
  if (!label.tear && !label.peel && !label.cutter && !label.cutterBatch) add("no tear-off");
  if (label.tear && (label.peel || label.cutter || label.cutterBatch)) add("tear-off");
  return text;
}

// Draws one label as `path` and reports it. Returns false when no picture was made.
bool PreviewLabel(const StreamLabel &label, int number, const std::string &path, int dpi) {
  const int64_t width = MmToDots(label.widthMm, dpi), height = MmToDots(label.heightMm, dpi);
  const int64_t bitmapWidth = int64_t{label.widthBytes} * 8;

  const BitmapFit fit = FitBitmap(label, width, height);
  // Only white falling off the label is no loss (a raster's row padded to whole bytes
  // often ends a dot or two past the label's edge), so only lost printed dots warn.
  if (fit.dotsCutOff > 0) {
    fprintf(stderr,
            "WARNING: label %d: the bitmap (%lld x %d dots at %d,%d) runs off the %s of "
            "the label (%lld x %lld dots); %llu printed dots are cut off\n",
            number, static_cast<long long>(bitmapWidth), label.height, label.bitmapX,
            label.bitmapY, Edges(fit).c_str(), static_cast<long long>(width),
            static_cast<long long>(height), static_cast<unsigned long long>(fit.dotsCutOff));
  }

  const std::string error = WriteLabelPng(path, label, width, height, dpi);
  if (!error.empty()) {
    fprintf(stderr, "ERROR: label %d (%d x %d mm at %d dpi): %s\n", number, label.widthMm,
            label.heightMm, dpi, error.c_str());
    return false;
  }
  printf("%s: %d x %d mm (%lld x %lld dots at %d dpi), speed %d, density %d%s, "
         "bitmap %lld x %d dots at %d,%d, copies %d",
         path.c_str(), label.widthMm, label.heightMm, static_cast<long long>(width),
         static_cast<long long>(height), dpi, label.speed, label.density,
         MediaAndFinishing(label).c_str(),
         static_cast<long long>(bitmapWidth), label.height, label.bitmapX, label.bitmapY,
         label.copies);
  if (label.sets != 1) printf(" in %d sets", label.sets);
  printf("\n");
  return true;
}

}  // namespace

int main(int argc, char *argv[]) {
  int dpi = kDefaultDpi;
  std::string prefix;
  const option longOptions[] = {{"dpi", required_argument, nullptr, 'd'},
                                {"output", required_argument, nullptr, 'o'},
                                {"help", no_argument, nullptr, 'h'},
                                {nullptr, 0, nullptr, 0}};
  int choice;
  while ((choice = getopt_long(argc, argv, "o:h", longOptions, nullptr)) != -1) {
    if (choice == 'd') {
      char *end = nullptr;
      errno = 0;
      const long value = strtol(optarg, &end, 10);
      if (errno || end == optarg || *end || value < 1 || value > kMaxDpi) {
        fprintf(stderr, "ERROR: --dpi takes a whole number from 1 to %ld, not \"%s\"\n", kMaxDpi,
                optarg);
        return 1;
      }
      dpi = static_cast<int>(value);
    } else if (choice == 'o') {
      prefix = optarg;
    } else if (choice == 'h') {
      fputs(kUsage, stdout);
      return 0;
    } else {
      fputs(kUsage, stderr);
      return 1;
    }
  }
  if (argc - optind > 1) {
    fputs(kUsage, stderr);
    return 1;
  }

  const std::string input = optind < argc ? argv[optind] : "-";
  const bool fromStdin = input == "-";
  if (prefix.empty()) prefix = fromStdin ? "label" : WithoutExtension(input);

  FILE *file = fromStdin ? stdin : fopen(input.c_str(), "rb");
  if (!file) {
    fprintf(stderr, "ERROR: Unable to open %s: %s\n", input.c_str(), strerror(errno));
    return 1;
  }
  std::vector<uint8_t> stream;
  const bool read = ReadAll(file, stream);
  const int readErrno = errno;
  if (!fromStdin) fclose(file);
  if (!read) {
    fprintf(stderr, "ERROR: Unable to read %s: %s\n", fromStdin ? "standard input" : input.c_str(),
            strerror(readErrno));
    return 1;
  }

  // Every label that was read whole is drawn, even when the stream goes wrong after it.
  const StreamParse parse = ParseLabelStream(stream);
  int status = 0;
  size_t command = 0;
  // The printer's own commands between labels, each where it stands among them.
  auto commandsBefore = [&](size_t label) {
    for (; command < parse.commands.size() && parse.commands[command].labelsBefore <= label; ++command) {
      const char *does = "";
      for (const printer_command_t &known : kPrinterCommands)
        if (parse.commands[command].name == known.name) does = known.does;
      printf("command %s: the printer %s\n", parse.commands[command].name.c_str(), does);
    }
  };
  for (size_t i = 0; i < parse.labels.size(); ++i) {
    commandsBefore(i);
    const int number = static_cast<int>(i + 1);
    if (!parse.labels[i].printed) {
      printf("label %d: not printed: no PRINT follows its bitmap (the job was canceled)\n",
             number);
      continue;
    }
    if (!PreviewLabel(parse.labels[i], number, prefix + "-" + std::to_string(number) + ".png", dpi))
      status = 1;
  }
  commandsBefore(parse.labels.size());
  if (!parse.error.empty()) {
    fprintf(stderr, "ERROR: byte %zu: %s\n", parse.errorOffset, parse.error.c_str());
    status = 1;
  } else if (parse.labels.empty() && parse.commands.empty()) {
    fputs("WARNING: the stream holds no labels\n", stderr);
  }
  if (fflush(stdout) != 0) status = 1;
  return status;
}
