#pragma once
// Owning pointers for the CUPS handles the programs open: each is closed by its own
// CUPS function when the pointer goes out of scope, on every path.

#include <cups/cups.h>
#include <cups/file.h>
#include <cups/ppd.h>
#include <cups/raster.h>

#include <memory>

struct CupsFileCloser {
  void operator()(cups_file_t *file) const { cupsFileClose(file); }
};
using CupsFilePtr = std::unique_ptr<cups_file_t, CupsFileCloser>;

struct RasterCloser {
  void operator()(cups_raster_t *raster) const { cupsRasterClose(raster); }
};
using RasterPtr = std::unique_ptr<cups_raster_t, RasterCloser>;

// A parsed option array; cupsFreeOptions needs the count as well as the pointer.
struct OptionsFree {
  int count;
  void operator()(cups_option_t *options) const { cupsFreeOptions(count, options); }
};
using OptionsPtr = std::unique_ptr<cups_option_t, OptionsFree>;

// cupsAddOption into an owned option array: the array and its count stay together.
inline void AddOption(OptionsPtr &options, const char *name, const char *value) {
  cups_option_t *array = options.release();
  const int count = cupsAddOption(name, value, options.get_deleter().count, &array);
  options.reset(array);
  options.get_deleter().count = count;
}

// An IPP message or collection (attributes copied out of a printer, for one).
struct IppFree {
  void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppFree>;

// The addresses httpAddrGetList found.
struct AddrListFree {
  void operator()(http_addrlist_t *addresses) const { httpAddrFreeList(addresses); }
};
using AddrListPtr = std::unique_ptr<http_addrlist_t, AddrListFree>;

// The PPD interface is deprecated in CUPS 2.4 but still the way a filter reads its
// queue's PPD; the warning is silenced for this call only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
struct PpdCloser {
  void operator()(ppd_file_t *ppd) const { ppdClose(ppd); }
};
#pragma GCC diagnostic pop
using PpdPtr = std::unique_ptr<ppd_file_t, PpdCloser>;
