#pragma once

// The two passes of ConversionKernels.h over an operation struct O; included after EngineSimd.h
// by each ConversionKernels*.cpp, inside that file's instruction-set region.

#include "ConversionKernels.h"

namespace enginetest::passes
{
template <class O>
void levelsToDb (const float* in, float* out, int paddedCount) noexcept
{
    for (int i = 0; i < paddedCount; i += O::width)
        O::store (out + i, varnok::engine::simd::levelToDb<O> (O::abs (O::load (in + i))));
}

template <class O>
void gainsFromDb (float* values, int paddedCount) noexcept
{
    for (int i = 0; i < paddedCount; i += O::width)
        O::store (values + i, varnok::engine::simd::dbToGain<O> (O::load (values + i)));
}

template <class O>
constexpr ConversionKernels makeConversionKernels (const char* name) noexcept
{
    return { name, &levelsToDb<O>, &gainsFromDb<O> };
}
} // namespace enginetest::passes
