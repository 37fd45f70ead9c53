#pragma once
// Gray-to-bitmap conversion: 8-bit gray (0 black, 255 white) into packed 1-bit rows (most
// significant bit leftmost). Every rule is one threshold per pixel that depends only on the
// pixel's column and row modulo 16, so a row converts on its own once its index is known.

#include <array>
#include <cstdint>
#include <span>

// The instruction sets the conversion can run on. All give the same bitmap; Portable is
// plain C++ for any machine, Sse2 and Avx2 exist on x86-64 only, Neon on 64-bit ARM
// (always) and on 32-bit ARM processors that have it.
enum class Kernel { Portable, Sse2, Avx2, Neon };

// Every kernel, for tests and benchmarks that try each one this processor runs.
inline constexpr Kernel kAllKernels[] = {Kernel::Portable, Kernel::Sse2, Kernel::Avx2,
                                         Kernel::Neon};

// Whether this build and this processor can run `kernel`.
bool KernelRuns(Kernel kernel);

// The widest kernel this processor runs: Avx2 when it has AVX2, else Sse2 on x86-64;
// Neon on ARM when it has NEON; Portable everywhere else.
Kernel FastestKernel();

// "portable", "sse2", "avx2" or "neon".
const char *KernelName(Kernel kernel);

// A rule's thresholds: pixel x of row r is black when its gray level is below
// [r % 16][x % 16].
using RowThresholds = std::array<uint8_t, 16>;
using Thresholds = std::array<RowThresholds, 16>;

//   mode 0: black below 128          mode 2: 8x8 dispersed-dot dither
//   mode 3: 8x8 clustered-dot dither mode 4: 16x16 dispersed-dot dither
//   mode 1, 5 and every other value, negative ones included: black below 161
Thresholds ThresholdsFor(int mode);

// One row as the label stream carries it: the gray pixels of `gray` (any count) packed
// into `stream` ((gray.size() + 7) / 8 bytes, overwritten), a 0 bit for a printed dot and
// a 1 bit for white. The pixels that pad the last byte are white.
void PackStreamRow(std::span<const uint8_t> gray, std::span<uint8_t> stream,
                   const RowThresholds &thresholds, Kernel kernel);

// A whole page in the settings record's bitmap form: gray holds `rows` rows of
// widthBytes * 8 pixels; bits holds `rows` rows of widthBytes bytes and must be zeroed by
// the caller: a set bit is black, and bits are only ever set. Runs the widest instruction
// set the processor has. The filter and the printer application convert row by row with
// PackStreamRow instead, straight into the stream's form.
void Gray2Bytes(const uint8_t *gray, uint8_t *bits, int widthBytes, int rows, int mode);
