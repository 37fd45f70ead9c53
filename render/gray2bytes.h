#pragma once
// Gray-to-bitmap conversion: one page of 8-bit gray (0 black, 255 white) into packed
// 1-bit rows (most significant bit leftmost, set bit = black).

#include <cstdint>

// gray holds `rows` rows of widthBytes * 8 pixels; bits holds `rows` rows of widthBytes
// bytes and must be zeroed by the caller: bits are only ever set.
//   mode 0: black below 128          mode 2: 8x8 dispersed-dot dither
//   mode 3: 8x8 clustered-dot dither mode 4: 16x16 dispersed-dot dither
//   mode 1, 5 and every other value, negative ones included: black below 161
// Runs the widest instruction set the processor has (FastestKernel).
void Gray2Bytes(const uint8_t *gray, uint8_t *bits, int widthBytes, int rows, int mode);

// The instruction sets the conversion can run on, narrowest first. All give the same
// bitmap; Portable is plain C++ for any machine, Sse2 and Avx2 exist on x86-64 only.
enum class Kernel { Portable, Sse2, Avx2 };

// The widest kernel this processor runs: Avx2 when it has AVX2, else Sse2 on x86-64,
// Portable everywhere else.
Kernel FastestKernel();

// Gray2Bytes on `kernel`, or on FastestKernel() when the processor lacks it; lets tests
// and benchmarks run every kernel on one machine.
void Gray2Bytes(const uint8_t *gray, uint8_t *bits, int widthBytes, int rows, int mode,
                Kernel kernel);
