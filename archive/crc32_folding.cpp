#include "archive/crc32_folding.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

bool Crc32FoldingAvailable() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  constexpr unsigned kSse2 = 1u << 26;     // edx
  constexpr unsigned kClmul = 1u << 1;     // ecx
  constexpr unsigned kOsXsave = 1u << 27;  // ecx: the system manages the register state
  if ((d & kSse2) == 0 || (c & kClmul) == 0 || (c & kOsXsave) == 0) return false;
  // ...and keeps the 128-bit registers among it (bit 1 of XCR0).
  unsigned low, high;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 2) != 0;
}

namespace {

// The multipliers, in the bit-reflected form of CRC-32's polynomial P =
// 0x104C11DB7, each of 33 bits: the powers of x modulo P that move a
// remainder's two halves 64 bytes forward, the pair that moves them 16
// bytes forward, the one for the last fold to 64 bits, then P itself and
// floor(x^64 / P) for the reduction.
constexpr long long kFold512High = 0x1c6e41596, kFold512Low = 0x154442bd4;
constexpr long long kFold128High = 0x0ccaa009e, kFold128Low = 0x1751997d0;
constexpr long long kFold64 = 0x163cd6124;
constexpr long long kMu = 0x1f7011641, kPolynomial = 0x1db710641;

// The 128-bit remainder x moved forward onto the next 128 bits of the
// message: its low half times the low multiplier, its high half times the
// high one.
__attribute__((target("sse2,pclmul"))) inline __m128i Fold(__m128i x, __m128i multipliers, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(x, multipliers, 0x00);
  __m128i high = _mm_clmulepi64_si128(x, multipliers, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("sse2"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

// The caller's stack may be aligned to 4 bytes only, as 32-bit Windows
// keeps it; the 128-bit values spilled to it need 16.
__attribute__((target("sse2,pclmul"), force_align_arg_pointer)) uint32_t Crc32Fold(uint32_t value, const uint8_t* data,
                                                                                   size_t count) {
  // The running register enters as the first 32 bits of the message.
  __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(value)));
  __m128i x2 = Load(data + 16);
  __m128i x3 = Load(data + 32);
  __m128i x4 = Load(data + 48);
  data += 64;
  count -= 64;
  const __m128i by512 = _mm_set_epi64x(kFold512High, kFold512Low);
  for (; count >= 64; count -= 64, data += 64) {
    x1 = Fold(x1, by512, Load(data));
    x2 = Fold(x2, by512, Load(data + 16));
    x3 = Fold(x3, by512, Load(data + 32));
    x4 = Fold(x4, by512, Load(data + 48));
  }
  // Four remainders into one, then the rest 16 bytes at a time.
  const __m128i by128 = _mm_set_epi64x(kFold128High, kFold128Low);
  x1 = Fold(x1, by128, x2);
  x1 = Fold(x1, by128, x3);
  x1 = Fold(x1, by128, x4);
  for (; count >= 16; count -= 16, data += 16) x1 = Fold(x1, by128, Load(data));

  // 128 bits to 64: the low half times x^64 onto the high half...
  const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, by128, 0x10));
  // ...then its low 32 bits times x^64 onto the rest...
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                     _mm_clmulepi64_si128(_mm_and_si128(x1, low32), _mm_set_epi64x(0, kFold64), 0x00));
  // ...and the Barrett reduction: q = floor(x / P) by the reciprocal,
  // then x - q * P leaves the remainder in the second 32-bit lane.
  const __m128i reduction = _mm_set_epi64x(kMu, kPolynomial);
  __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), reduction, 0x10);
  q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), reduction, 0x00);
  x1 = _mm_xor_si128(x1, q);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

#else

bool Crc32FoldingAvailable() { return false; }

uint32_t Crc32Fold(uint32_t value, const uint8_t*, size_t) { return value; }

#endif
