#include "ConversionKernels.h"

#include "processor/engine/EngineKernels.h"
#include "processor/engine/EngineOpsAvx2.h"

#if VARNOK_ENGINE_AVX2

VARNOK_ENGINE_AVX2_BEGIN
#include "processor/engine/EngineSimd.h"

#include "ConversionKernelsPasses.h"

namespace enginetest
{
namespace
{
constexpr ConversionKernels avx2Table = passes::makeConversionKernels<varnok::engine::Avx2> ("avx2");
} // namespace
} // namespace enginetest
VARNOK_ENGINE_AVX2_END

namespace enginetest
{
// Only where the engine itself runs its AVX2 set, that is on a CPU that has AVX2.
const ConversionKernels* avx2ConversionKernels() noexcept
{
    return varnok::engine::avx2Kernels() != nullptr ? &avx2Table : nullptr;
}
} // namespace enginetest

#else

namespace enginetest
{
const ConversionKernels* avx2ConversionKernels() noexcept
{
    return nullptr;
}
} // namespace enginetest

#endif
