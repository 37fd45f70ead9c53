// Arbitrary bytes as what a client sends the virtual printer: split into pieces at the
// places the first bytes choose, taken in piece by piece, then the end of the connection.
// However the bytes arrive, the same labels print as from the whole stream at once, each
// whole, and the printer never holds more than it may.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "virtual-printer/printer_model.h"

namespace {

constexpr size_t kMaxPending = 4096;

// The labels and commands as a comparable list: size, copies and a hash of the bits. (Refusals may
// fall differently: a label cut where its next command's name ends is read as cancelled.)
std::vector<uint64_t> Summary(const std::vector<InputItem> &items) {
  std::vector<uint64_t> summary;
  for (const InputItem &item : items) {
    if (item.kind == InputItem::kCommand) summary.push_back(item.text.size());
    if (item.kind != InputItem::kLabel) continue;
    const StreamLabel &l = item.label;
    if (l.bits.size() != size_t(l.widthBytes) * size_t(l.height) || !l.printed) __builtin_trap();
    summary.push_back(l.bits.size());
    summary.push_back(uint64_t(uint32_t(l.copies)));
    uint64_t hash = 14695981039346656037u;
    for (uint8_t b : l.bits) hash = (hash ^ b) * 1099511628211u;
    summary.push_back(hash);
  }
  return summary;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  const size_t piece = 1 + data[0] % 64;
  const std::span<const uint8_t> stream(data + 1, size - 1);

  StreamInput whole;
  std::vector<InputItem> all = TakeInput(whole, stream, kMaxPending);
  EndInput(whole);

  StreamInput pieces;
  std::vector<InputItem> some;
  for (size_t at = 0; at < stream.size(); at += piece) {
    std::vector<InputItem> got =
        TakeInput(pieces, stream.subspan(at, std::min(piece, stream.size() - at)), kMaxPending);
    // Only a label still arriving is held, never more than a label and a command.
    if (pieces.pending.size() > kMaxPending + 64 + piece) __builtin_trap();
    for (InputItem &item : got) some.push_back(std::move(item));
  }
  EndInput(pieces);
  // A refusal of an oversized label depends on where the pieces fall; without one the
  // two readings agree.
  bool oversized = false;
  for (const InputItem &item : all)
    oversized = oversized || (item.kind == InputItem::kRefused &&
                              item.text.find("a label larger than") != std::string::npos);
  for (const InputItem &item : some)
    oversized = oversized || (item.kind == InputItem::kRefused &&
                              item.text.find("a label larger than") != std::string::npos);
  if (!oversized && Summary(all) != Summary(some)) __builtin_trap();
  return 0;
}
