#pragma once

// The engine's block-wise passes (everything around the serial envelope recursion), compiled
// once per instruction set and picked at prepare() time. Every set performs the same float
// operations in the same order on every lane, so all of them give bit-identical results; only
// the vector width differs.

namespace varnok::engine
{

// Counts called "padded" are rounded up to this; such passes run over whole vectors and may
// touch the unused tail of the engine's scratch arrays (never the host's buffers).
constexpr int vectorPadding = 16;

constexpr int padToVector (int n) noexcept { return (n + vectorPadding - 1) & ~(vectorPadding - 1); }

// A smoothed setting over one chunk: per-sample values while it ramps, otherwise one value.
struct Ramp
{
    const float* values = nullptr;
    float constant = 0.0f;
};

// Stereo link and static curve of the block (the arithmetic of computeGainReductionDb).
struct CurveSettings
{
    bool compresses = false;
    bool softKnee = false;
    float threshold = 0.0f;
    float slope = 0.0f;
    float half = 0.0f;
    float twoKnee = 0.0f;
    float link = 1.0f;
};

// The eight-sample groups of the detector pass; scratch arrays are padded to whole groups.
constexpr int detectorGroup = 8;
static_assert (vectorPadding % detectorGroup == 0, "groups must fit the padding");

// The detector pass of one chunk: level, link, static curve, envelope recursion and gains.
struct DetectorArgs
{
    const float* const* detector = nullptr; // |v| per channel, or the mean squares (in work)
    bool meanSquares = false;
    float* const* work = nullptr;           // out: gains, or envelope values without writeGains
    int numChannels = 2;
    CurveSettings curve;
    float attackCoeff = 0.0f;
    float releaseCoeff = 0.0f;
    float linearSlope = 0.0f;               // dB per sample when linearRelease
    bool linearRelease = false;
    bool writeGains = true;
    Ramp makeupDb;
    float* envelope = nullptr;              // in/out: the two envelope states in dB
    float deepest = 0.0f;                   // in/out: the lowest envelope value so far
    int count = 0;                          // samples; arrays are padded scratch
};

struct OutputSettings
{
    int numChannels = 2;
    bool listen = false;
    bool midSide = false;
    bool saturate = false;
    float drive = 1.0f;
};

struct EngineKernels
{
    const char* name;

    // out = in * gain, with NaN and +-inf taken as 0 (exact count).
    void (*applyInputGain) (const float* in, Ramp gain, float* out, int count) noexcept;

    // out = in, with NaN and +-inf taken as 0 (exact count).
    void (*copyFinite) (const float* in, float* out, int count) noexcept;

    // The largest |in[i]| (exact count), 0 for none; NaN samples are passed over. The
    // processor's meters use it: for finite samples it equals juce::AudioBuffer::getMagnitude.
    float (*peakMagnitude) (const float* in, int count) noexcept;

    // mid = (a + b) * 0.5, side = (a - b) * 0.5, in place allowed.
    void (*encodeMidSide) (const float* a, const float* b, float* mid, float* side, int paddedCount) noexcept;

    // The detector pass (see DetectorArgs).
    void (*runDetector) (DetectorArgs& args) noexcept;

    // Wet/dry mix (or the listen signal), mid/side decoding, saturation, output gain (exact count).
    void (*writeOutput) (const OutputSettings& settings, const float* const* dry, const float* const* gains,
                         const float* const* detector, Ramp mix, Ramp outputGain, float* const* out, int count) noexcept;
};

// The widest set this CPU runs.
const EngineKernels& selectEngineKernels() noexcept;

const EngineKernels& baselineKernels() noexcept;   // SSE2 on x86, plain C++ elsewhere
const EngineKernels* avx2Kernels() noexcept;       // null where not built or not supported

// For the tests: engines prepared afterwards use the baseline set (1), AVX2 (2) or the
// automatic choice (0). Returns false when the requested set is not available.
bool forceEngineKernels (int choice) noexcept;

} // namespace varnok::engine
