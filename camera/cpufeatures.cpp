#include "camera/cpufeatures.h"

#ifdef TAVIX_HAVE_X86_VECTORS

#include <QString>
#include <QtGlobal>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace cpufeatures {

bool hasSsse3()
{
#if defined(_MSC_VER) && !defined(__clang__)
    static const bool has = [] {
        int registers[4];
        __cpuid(registers, 1);
        return (registers[2] & (1 << 9)) != 0; // ECX bit 9
    }();
    return has;
#else
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
#endif
}

bool hasSse41()
{
#if defined(_MSC_VER) && !defined(__clang__)
    static const bool has = [] {
        int registers[4];
        __cpuid(registers, 1);
        return (registers[2] & (1 << 19)) != 0; // ECX bit 19
    }();
    return has;
#else
    static const bool has = __builtin_cpu_supports("sse4.1");
    return has;
#endif
}

bool hasAvx2()
{
    static const bool has = [] {
#if defined(_MSC_VER) && !defined(__clang__)
        int registers[4];
        __cpuid(registers, 1);
        const bool saved = (registers[2] & (1 << 27)) != 0 && (_xgetbv(0) & 6) == 6; // OSXSAVE, XMM and YMM state
        __cpuidex(registers, 7, 0);
        const bool offered = saved && (registers[1] & (1 << 5)) != 0; // EBX bit 5
#else
        const bool offered = __builtin_cpu_supports("avx2");
#endif
        return offered && !qEnvironmentVariable("QT_NO_CPU_FEATURE").contains(QLatin1String("avx2"));
    }();
    return has;
}

} // namespace cpufeatures

#endif
