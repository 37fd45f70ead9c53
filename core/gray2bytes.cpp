#include "core/gray2bytes.h"

#include <cassert>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#include "core/dither_matrices.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VANTEL_X86_SIMD 1
#endif

// NEON is part of every 64-bit ARM processor. Debian's 32-bit ARM (armhf) only promises
// VFPv3, so there the kernel is compiled for NEON on its own and run only when the
// kernel reports the processor has it.
#if (defined(__aarch64__) || defined(__arm__)) && (defined(__GNUC__) || defined(__clang__)) && \
    defined(__ARM_ARCH) && (defined(__aarch64__) || __ARM_ARCH >= 7) && \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#include <arm_neon.h>
#define VANTEL_ARM_NEON 1
#ifdef __aarch64__
#define VANTEL_NEON_TARGET
#else
#include <sys/auxv.h>
#define VANTEL_NEON_TARGET __attribute__((target("fpu=neon")))
#endif
#endif

namespace {

// How a kernel puts a packed byte (set bit = black) into its destination: added to the
// bits already there (the page bitmap, which only ever gains black), or stored inverted
// (the label stream, where a 0 bit prints a dot).
enum class Store { Or, Inverted };

template <Store store>
void Put(uint8_t &dest, uint8_t packed) {
  if constexpr (store == Store::Or) dest |= packed;
  else dest = static_cast<uint8_t>(~packed);
}

// Four packed bytes at once, the first in the word's lowest bits (the vector kernels
// run on little-endian machines only).
template <Store store>
void PutFour(uint8_t *dest, uint32_t packed) {
  uint32_t word;
  if constexpr (store == Store::Or) {
    memcpy(&word, dest, sizeof word);
    word |= packed;
  } else {
    word = ~packed;
  }
  memcpy(dest, &word, sizeof word);
}

// Eight bytes as one word, the first byte in the lowest bits whatever the machine.
uint64_t LoadEight(const uint8_t *bytes) {
  uint64_t word;
  memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Packs eight pixels against eight thresholds, both as words, eight bytes at once:
// p < t exactly when (255 - p) + t carries out of its byte, and that carry is worked
// out from the sum of the low seven bits, which can't spill into the next byte.
uint8_t PackEight(uint64_t pixels, uint64_t thresholds) {
  constexpr uint64_t kHigh = 0x8080808080808080u;
  const uint64_t inverse = ~pixels;
  const uint64_t lowSum = (inverse & ~kHigh) + (thresholds & ~kHigh);
  const uint64_t carry = ((inverse & thresholds) | ((inverse | thresholds) & lowSum)) & kHigh;
  // The multiply moves bit 7 of byte i (pixel i) to bit 63 - i without any two
  // products meeting, so the top byte holds the pixels leftmost first.
  return static_cast<uint8_t>(((carry >> 7) * 0x8040201008040201u) >> 56);
}

// Plain C++ for any machine: bytes `from` to widthBytes - 1 of one row.
template <Store store>
void PackRowPortable(const uint8_t *gray, uint8_t *bits, size_t from, size_t widthBytes,
                     const RowThresholds &t) {
  const uint64_t halves[2] = {LoadEight(t.data()), LoadEight(t.data() + 8)};
  for (size_t b = from; b < widthBytes; ++b)
    Put<store>(bits[b], PackEight(LoadEight(gray + b * 8), halves[b % 2]));
}

#ifdef VANTEL_X86_SIMD

// SSE2, which every x86-64 has: 16 pixels, two bytes, per step from byte `from` (even).
// Returns the first byte not done. The black lanes keep the weight of their bit (0x80 for
// the leftmost pixel down to 0x01), and summing each half with psadbw gives the two
// packed bytes.
template <Store store>
size_t PackRowSse2(const uint8_t *gray, uint8_t *bits, size_t from, size_t widthBytes,
                   const RowThresholds &t) {
  // Unsigned p < t as a signed compare: flipping the top bit of both keeps their order.
  const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i limit =
      _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(t.data())), bias);
  const __m128i weights = _mm_set1_epi64x(0x0102040810204080);
  size_t b = from;
  for (; b + 2 <= widthBytes; b += 2) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(gray + b * 8));
    const __m128i black = _mm_cmpgt_epi8(limit, _mm_xor_si128(p, bias));
    const __m128i sums = _mm_sad_epu8(_mm_and_si128(black, weights), _mm_setzero_si128());
    Put<store>(bits[b], static_cast<uint8_t>(_mm_cvtsi128_si32(sums)));
    Put<store>(bits[b + 1], static_cast<uint8_t>(_mm_extract_epi16(sums, 4)));
  }
  return b;
}

// AVX2: 32 pixels, four bytes, per step from byte 0. Returns the first byte not done.
// The pixels of each byte are reversed after the compare so that movemask puts the
// leftmost one in the top bit.
template <Store store>
__attribute__((target("avx2"))) size_t PackRowAvx2(const uint8_t *gray, uint8_t *bits,
                                                   size_t widthBytes, const RowThresholds &t) {
  const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t.data()));
  const __m256i limit = _mm256_xor_si256(_mm256_broadcastsi128_si256(row), bias);
  const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,
                                           7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  size_t b = 0;
  for (; b + 4 <= widthBytes; b += 4) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(gray + b * 8));
    const __m256i black = _mm256_cmpgt_epi8(limit, _mm256_xor_si256(p, bias));
    const uint32_t packed =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_shuffle_epi8(black, reverse)));
    PutFour<store>(bits + b, packed);
  }
  return b;
}

#endif  // VANTEL_X86_SIMD

#ifdef VANTEL_ARM_NEON

// Sixteen pixels against their thresholds: each black lane holds the weight of its bit in
// its byte, 0x80 for the leftmost pixel down to 0x01, each white lane 0.
VANTEL_NEON_TARGET uint8x16_t BlackWeights(const uint8_t *pixels, uint8x16_t limit) {
  static constexpr uint8_t kWeights[16] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01,
                                           0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
  return vandq_u8(vcltq_u8(vld1q_u8(pixels), limit), vld1q_u8(kWeights));
}

// The sums of neighbouring lanes: lanes 0-3 from the first eight pixels, 4-7 from the next.
VANTEL_NEON_TARGET uint8x8_t PairSums(uint8x16_t lanes) {
  return vpadd_u8(vget_low_u8(lanes), vget_high_u8(lanes));
}

// NEON, 32-bit and 64-bit ARM: 32 pixels, four bytes, per step from byte 0, then one
// step of 16 pixels if two bytes are left. Returns the first byte not done. As in the
// SSE2 kernel the black lanes keep the weight of their bit; three pairwise adds sum each
// byte's eight lanes into one lane, the bytes in order.
template <Store store>
VANTEL_NEON_TARGET size_t PackRowNeon(const uint8_t *gray, uint8_t *bits, size_t widthBytes,
                                      const RowThresholds &t) {
  const uint8x16_t limit = vld1q_u8(t.data());
  size_t b = 0;
  for (; b + 4 <= widthBytes; b += 4) {
    const uint8x8_t quads = vpadd_u8(PairSums(BlackWeights(gray + b * 8, limit)),
                                     PairSums(BlackWeights(gray + b * 8 + 16, limit)));
    // Lanes 0 to 3 are bytes b to b + 3; the machine is little-endian.
    const uint32_t packed = vget_lane_u32(vreinterpret_u32_u8(vpadd_u8(quads, quads)), 0);
    PutFour<store>(bits + b, packed);
  }
  if (b + 2 <= widthBytes) {
    const uint8x8_t half = PairSums(BlackWeights(gray + b * 8, limit));
    const uint8x8_t quads = vpadd_u8(half, half);
    const uint8x8_t sums = vpadd_u8(quads, quads);
    Put<store>(bits[b], vget_lane_u8(sums, 0));
    Put<store>(bits[b + 1], vget_lane_u8(sums, 1));
    b += 2;
  }
  return b;
}

#endif  // VANTEL_ARM_NEON

// The first `widthBytes` bytes of one row, from widthBytes * 8 gray pixels: the chosen
// kernel for as much of the row as it covers, narrower ones for the rest. Every kernel
// starts at a multiple of 16 pixels, so the thresholds stay in step with x % 16.
template <Store store>
void PackRow(Kernel kernel, const uint8_t *gray, uint8_t *bits, size_t widthBytes,
             const RowThresholds &t) {
  size_t b = 0;
#ifdef VANTEL_X86_SIMD
  if (kernel == Kernel::Avx2) b = PackRowAvx2<store>(gray, bits, widthBytes, t);
  if (kernel == Kernel::Avx2 || kernel == Kernel::Sse2)
    b = PackRowSse2<store>(gray, bits, b, widthBytes, t);
#endif
#ifdef VANTEL_ARM_NEON
  if (kernel == Kernel::Neon) b = PackRowNeon<store>(gray, bits, widthBytes, t);
#endif
  PackRowPortable<store>(gray, bits, b, widthBytes, t);
}

}  // namespace

Thresholds ThresholdsFor(int mode) {
  // For the 8x8 matrices (p >> 2) < e is the same as p < 4e, so their 64-level entries
  // (at most 63) become full-range thresholds of at most 252, each row repeated to fill
  // 16 columns.
  Thresholds t;
  for (int r = 0; r < 16; ++r) {
    for (int x = 0; x < 16; ++x) {
      switch (static_cast<unsigned>(mode)) {
        case 0: t[r][x] = 128; break;
        case 2: t[r][x] = static_cast<uint8_t>(4 * Dispersed8x8[r % 8][x % 8]); break;
        case 3: t[r][x] = static_cast<uint8_t>(4 * Clustered8x8[r % 8][x % 8]); break;
        // The pixel's column picks the table row: the 16x16 matrix lies transposed.
        case 4: t[r][x] = Dispersed16x16[x][r]; break;
        default: t[r][x] = 161; break;
      }
    }
  }
  return t;
}

bool KernelRuns(Kernel kernel) {
  switch (kernel) {
    case Kernel::Portable: return true;
#ifdef VANTEL_X86_SIMD
    case Kernel::Sse2: return true;
    case Kernel::Avx2: {
      static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
      }();
      return avx2;
    }
#endif
#if defined(VANTEL_ARM_NEON) && defined(__aarch64__)
    case Kernel::Neon: return true;
#elif defined(VANTEL_ARM_NEON)
    case Kernel::Neon: {
      // HWCAP_NEON of the 32-bit ARM kernel (asm/hwcap.h).
      constexpr unsigned long kHwcapNeon = 1ul << 12;
      static const bool neon = (getauxval(AT_HWCAP) & kHwcapNeon) != 0;
      return neon;
    }
#endif
    default: return false;
  }
}

Kernel FastestKernel() {
  for (Kernel kernel : {Kernel::Avx2, Kernel::Sse2, Kernel::Neon})
    if (KernelRuns(kernel)) return kernel;
  return Kernel::Portable;
}

const char *KernelName(Kernel kernel) {
  switch (kernel) {
    case Kernel::Sse2: return "sse2";
    case Kernel::Avx2: return "avx2";
    case Kernel::Neon: return "neon";
    default: return "portable";
  }
}

namespace {

// `kernel` when the processor runs it, else the widest one it does.
Kernel Usable(Kernel kernel) { return KernelRuns(kernel) ? kernel : FastestKernel(); }

}  // namespace

void PackStreamRow(std::span<const uint8_t> gray, std::span<uint8_t> stream,
                   const RowThresholds &thresholds, Kernel kernel) {
  const size_t whole = gray.size() / 8;
  assert(stream.size() == (gray.size() + 7) / 8);
  PackRow<Store::Inverted>(Usable(kernel), gray.data(), stream.data(), whole,
                           thresholds);
  if (whole == stream.size()) return;
  // The last byte's pixels, padded with white to a whole byte.
  uint8_t last[8];
  memset(last, 255, sizeof last);
  memcpy(last, gray.data() + whole * 8, gray.size() - whole * 8);
  const uint64_t t = LoadEight(thresholds.data() + (whole % 2) * 8);
  Put<Store::Inverted>(stream[whole], PackEight(LoadEight(last), t));
}

void Gray2Bytes(const uint8_t *gray, uint8_t *bits, int widthBytes, int rows, int mode) {
  if (widthBytes <= 0) return;
  const Kernel kernel = FastestKernel();
  const size_t width = static_cast<size_t>(widthBytes);
  const Thresholds thresholds = ThresholdsFor(mode);
  for (int r = 0; r < rows; ++r) {
    PackRow<Store::Or>(kernel, gray + static_cast<size_t>(r) * width * 8,
                       bits + static_cast<size_t>(r) * width, width, thresholds[r % 16]);
  }
}

