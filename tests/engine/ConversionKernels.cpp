#include "ConversionKernels.h"

#include "processor/engine/EngineOps.h"
#include "processor/engine/EngineSimd.h"

#include "ConversionKernelsPasses.h"

namespace enginetest
{
namespace
{
#if VARNOK_ENGINE_X86
constexpr ConversionKernels baselineTable = passes::makeConversionKernels<varnok::engine::Sse2> ("sse2");
#else
constexpr ConversionKernels baselineTable = passes::makeConversionKernels<varnok::engine::Portable> ("portable");
#endif
} // namespace

const ConversionKernels& baselineConversionKernels() noexcept
{
    return baselineTable;
}
} // namespace enginetest
