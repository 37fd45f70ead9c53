#pragma once
// Owning handles for what the printer application gets from PAPPL to free, and for the
// file descriptors it opens: each is released when its owner goes out of scope, on every
// path. The CUPS handles are in cups_handles.h.

#include <pappl/pappl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

// A job's print options, as papplJobCreatePrintOptions makes them.
struct PrintOptionsFree {
  void operator()(pappl_pr_options_t *options) const { papplJobDeletePrintOptions(options); }
};
using PrintOptionsPtr = std::unique_ptr<pappl_pr_options_t, PrintOptionsFree>;

// An open file descriptor, closed once; -1 holds none.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  int get() const { return fd_; }
  // Closes it now; false when closing reports an error (data not written).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

// A stdio stream; its owner closes it itself (fclose(file.release())) where a failed
// close means data was lost.
struct FileCloser {
  void operator()(FILE *file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;
