// processBlock must not allocate or lock: every allocation and mutex lock made while a counted
// region is open on this thread is counted.
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <random>

extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);
extern "C" void* __libc_memalign (size_t, size_t);
extern "C" void __libc_free (void*);

namespace
{
thread_local bool counting = false;
thread_local int allocations = 0;
thread_local int locks = 0;

void noteAllocation()
{
    if (counting)
        ++allocations;
}

struct CountedRegion
{
    CountedRegion() { allocations = locks = 0; counting = true; }
    ~CountedRegion() { counting = false; }
};
} // namespace

// The C allocation functions, interposed over glibc's.
extern "C" void* malloc (size_t size) { noteAllocation(); return __libc_malloc (size); }
extern "C" void* calloc (size_t n, size_t size) { noteAllocation(); return __libc_calloc (n, size); }
extern "C" void* realloc (void* p, size_t size) { noteAllocation(); return __libc_realloc (p, size); }
extern "C" void* memalign (size_t alignment, size_t size) { noteAllocation(); return __libc_memalign (alignment, size); }
extern "C" int posix_memalign (void** out, size_t alignment, size_t size)
{
    noteAllocation();
    *out = __libc_memalign (alignment, size);
    return *out != nullptr ? 0 : ENOMEM;
}
extern "C" void* aligned_alloc (size_t alignment, size_t size) { noteAllocation(); return __libc_memalign (alignment, size); }
extern "C" void free (void* p) { __libc_free (p); }

// C++ allocation goes through malloc above, but count it here too in case a library's operator
// new does not.
void* operator new (size_t size)
{
    noteAllocation();
    if (auto* p = __libc_malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new[] (size_t size) { return operator new (size); }
void operator delete (void* p) noexcept { __libc_free (p); }
void operator delete[] (void* p) noexcept { __libc_free (p); }
void operator delete (void* p, size_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, size_t) noexcept { __libc_free (p); }

// Mutex locks, counted and passed on to glibc's function (resolved without a guarded static:
// the resolution must not itself depend on a lock).
namespace
{
using MutexLockFn = int (*) (pthread_mutex_t*);
MutexLockFn realMutexLock = nullptr;

MutexLockFn resolveMutexLock()
{
    if (realMutexLock == nullptr)
        realMutexLock = reinterpret_cast<MutexLockFn> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
    return realMutexLock;
}

[[maybe_unused]] const auto resolvedAtStartUp = resolveMutexLock();
} // namespace

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    if (counting)
        ++locks;
    return resolveMutexLock() (mutex);
}

namespace
{
void moveParameters (VarnokCompAudioProcessor& processor, std::mt19937& rng, bool bypass)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    for (auto* id : { "thresh", "ratio", "attack", "release", "makeup", "in_gain", "out_gain" })
        processor.apvts.getParameter (id)->setValueNotifyingHost (unit (rng));
    processor.apvts.getParameter ("bypass")->setValueNotifyingHost (bypass ? 1.0f : 0.0f);
}
} // namespace

TEST (RealtimeTest, CountersSeeAnAllocationAndALock)
{
    // The hooks themselves must work, or the test below proves nothing.
    std::mutex mutex;
    CountedRegion region;
    auto* p = new int (3);
    { std::lock_guard<std::mutex> lock (mutex); }
    delete p;
    EXPECT_GE (allocations, 1);
    EXPECT_GE (locks, 1);
}

TEST (RealtimeTest, ProcessBlockNeitherAllocatesNorLocks)
{
    for (auto mainLayout : { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono() })
    {
        VarnokCompAudioProcessor processor;
        auto layout = processor.getBusesLayout();
        layout.inputBuses.getReference (0) = mainLayout;
        layout.outputBuses.getReference (0) = mainLayout;
        layout.inputBuses.getReference (1) = juce::AudioChannelSet::stereo(); // sidechain enabled and fed
        ASSERT_TRUE (processor.setBusesLayout (layout));
        processor.prepareToPlay (48000.0, 512);

        std::mt19937 rng (1);
        std::uniform_int_distribution<int> sizes (0, 2048); // also larger than the prepared size
        std::uniform_real_distribution<float> sample (-1.0f, 1.0f);
        juce::AudioBuffer<float> buffer (mainLayout.size() + 2, 2048);
        juce::MidiBuffer midi;

        int totalAllocations = 0;
        int totalLocks = 0;

        for (int block = 0; block < 2000; ++block)
        {
            moveParameters (processor, rng, block % 50 >= 45);
            const auto numSamples = sizes (rng);
            for (int c = 0; c < buffer.getNumChannels(); ++c)
                for (int i = 0; i < numSamples; ++i)
                    buffer.setSample (c, i, sample (rng));

            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), numSamples);
            {
                CountedRegion region;
                processor.processBlock (view, midi);
                totalAllocations += allocations;
                totalLocks += locks;
            }
        }

        EXPECT_EQ (totalAllocations, 0) << mainLayout.getDescription();
        EXPECT_EQ (totalLocks, 0) << mainLayout.getDescription();
    }
}
