#pragma once

// The engine's vector log and exp (levelToDb, dbToGain of EngineSimd.h) as whole-array passes,
// one table per instruction set, built from the engine's own templates and operation structs.
// Only the tests need them as passes of their own; the engine runs them inside its detector.

namespace enginetest
{
struct ConversionKernels
{
    const char* name;

    // out = level in dB of |in|, floored at -120 dB; +inf gives about 770 dB, not inf.
    void (*levelsToDb) (const float* in, float* out, int paddedCount) noexcept;

    // In place: dB -> gain, 0 at or below -100 dB.
    void (*gainsFromDb) (float* values, int paddedCount) noexcept;
};

const ConversionKernels& baselineConversionKernels() noexcept; // SSE2 on x86, plain C++ elsewhere
const ConversionKernels* avx2ConversionKernels() noexcept;     // null when the engine has no AVX2 set
} // namespace enginetest
