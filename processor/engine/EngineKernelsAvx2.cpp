// The vector passes for CPUs with AVX2, eight lanes wide. Only this file is compiled for AVX2,
// and nothing here runs before avx2Kernels() has checked the CPU.

#include "EngineKernels.h"

#include "EngineOpsAvx2.h"

#if VARNOK_ENGINE_AVX2

VARNOK_ENGINE_AVX2_BEGIN
#include "EngineSimd.h"

namespace varnok::engine
{
namespace
{
// Constant-initialised: building the table runs no AVX code.
constexpr EngineKernels avx2Table = simd::makeKernels<Avx2> ("avx2");
} // namespace
} // namespace varnok::engine
VARNOK_ENGINE_AVX2_END

namespace varnok::engine
{
const EngineKernels* avx2KernelTable() noexcept
{
    return &avx2Table;
}
} // namespace varnok::engine

#else

namespace varnok::engine
{
const EngineKernels* avx2KernelTable() noexcept
{
    return nullptr;
}
} // namespace varnok::engine

#endif
