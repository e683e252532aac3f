#include "EngineKernels.h"

#include "EngineOps.h"

#if VARNOK_ENGINE_X86 && defined(_MSC_VER) && ! defined(__clang__)
 #include <intrin.h>
#endif

#include "EngineSimd.h"

namespace varnok::engine
{
const EngineKernels* avx2KernelTable() noexcept; // EngineKernelsAvx2.cpp

namespace
{
#if VARNOK_ENGINE_X86
bool cpuHasAvx2() noexcept
{
   #if defined(__GNUC__) || defined(__clang__)
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2"); // also checks that the OS saves the AVX state
   #elif defined(_MSC_VER)
    int r[4];
    __cpuid (r, 0);
    if (r[0] < 7)
        return false;

    __cpuid (r, 1);
    const bool osSavesAvx = (r[2] & (1 << 27)) != 0 && (r[2] & (1 << 28)) != 0 && (_xgetbv (0) & 6) == 6;
    __cpuidex (r, 7, 0);
    return osSavesAvx && (r[1] & (1 << 5)) != 0;
   #else
    return false;
   #endif
}

constexpr EngineKernels sse2Table = simd::makeKernels<Sse2> ("sse2");
#endif

constexpr EngineKernels portableTable = simd::makeKernels<Portable> ("portable");

int forcedChoice = 0;
} // namespace

const EngineKernels& baselineKernels() noexcept
{
   #if VARNOK_ENGINE_X86
    return sse2Table;
   #else
    return portableTable;
   #endif
}

const EngineKernels* avx2Kernels() noexcept
{
   #if VARNOK_ENGINE_X86
    static const bool supported = cpuHasAvx2();
    return supported ? avx2KernelTable() : nullptr;
   #else
    return nullptr;
   #endif
}

const EngineKernels& selectEngineKernels() noexcept
{
    switch (forcedChoice)
    {
        case 1: return baselineKernels();
        case 2: return avx2Kernels() != nullptr ? *avx2Kernels() : baselineKernels();
        case 3: return portableTable;
        default: break;
    }

    if (const auto* wide = avx2Kernels())
        return *wide;

    return baselineKernels();
}

bool forceEngineKernels (int choice) noexcept
{
    if (choice == 2 && avx2Kernels() == nullptr)
        return false;

    if (choice < 0 || choice > 3)
        return false;

    forcedChoice = choice;
    return true;
}

} // namespace varnok::engine
