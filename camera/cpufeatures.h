// Which vector instructions the processor offers, looked for once at run
// time, and how a function is compiled for them. The vector paths need SSE2
// at least, which every x86-64 processor has. GCC and Clang (MinGW included)
// compile a function for more with its TAVIX_*_TARGET; MSVC compiles any
// intrinsic without being asked.
#ifndef TAVIX_CPUFEATURES_H
#define TAVIX_CPUFEATURES_H

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <immintrin.h>
#define TAVIX_HAVE_X86_VECTORS 1
#if defined(_MSC_VER) && !defined(__clang__)
#define TAVIX_SSSE3_TARGET
#define TAVIX_SSE41_TARGET
#define TAVIX_AVX2_TARGET
#else
#define TAVIX_SSSE3_TARGET __attribute__((target("ssse3")))
#define TAVIX_SSE41_TARGET __attribute__((target("sse4.1")))
#define TAVIX_AVX2_TARGET __attribute__((target("avx2")))
#endif

namespace cpufeatures {

bool hasSsse3();
bool hasSse41();
// AVX2, with the system saving the 256-bit registers. Qt's own switch for
// its tests turns it off here as well: with QT_NO_CPU_FEATURE=avx2 the
// SSE4.1 paths alone do the work.
bool hasAvx2();

} // namespace cpufeatures

#endif

#endif
