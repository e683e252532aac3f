#pragma once

#include <cstdint>

// Lets the editor's meters read block peaks without knowing the processor's type.
class MeterSource
{
public:
    enum class Stage : std::uint8_t
    {
        input = 0,  // the main bus as it arrives
        output = 1  // the main bus after the compressor
    };

    virtual ~MeterSource() = default;

    // Linear peak magnitude of the main bus in the last processed block. A channel below 0 reads
    // channel 0, above 1 reads channel 1. Lock-free; callable from any thread.
    virtual float getPeak (Stage stage, int channel) const = 0;
};
