// The outside-XML readers on the costliest input they accept or refuse: a user-preset file read by
// UserPresetStore (as every processor's construction reads it) and a host's state restored by
// setStateInformation, each as large as the reader allows and shaped for the parser's slow paths
// (many elements, deep nesting, many attributes, many children naming one parameter). "accepted"
// says whether the reader took the input; "MB" is its size as UTF-8.

#include "processor/PluginProcessor.h"
#include "processor/XmlInput.h"
#include "tests/support/StateBlob.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>

namespace
{
using varnok::xmlLimits::maxAttributesPerElement;
using varnok::xmlLimits::maxDepth;
using varnok::xmlLimits::maxTextBytes;

// prefix, then unit as often as it fits with the suffix within the bound.
juce::String filled (const juce::String& prefix, const juce::String& unit, const juce::String& suffix)
{
    const auto room = maxTextBytes - prefix.getNumBytesAsUTF8() - suffix.getNumBytesAsUTF8();
    return prefix + juce::String::repeatedString (unit, (int) (room / unit.getNumBytesAsUTF8())) + suffix;
}

juce::String nested (int depth) { return juce::String::repeatedString ("<a>", depth) + juce::String::repeatedString ("</a>", depth); }

juce::String manyAttributes (const juce::String& tag)
{
    juce::String e ("<" + tag);

    for (int i = 0; i < maxAttributesPerElement; ++i)
        e << " a" << i << "=\"\"";

    return e + "/>";
}

const juce::String declaration ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n");

// One preset as the store writes it.
juce::String presetBlock()
{
    juce::String block ("  <Preset name=\"Preset\">\r\n    <PARAMS>\r\n");

    for (const auto* id : { "attack", "bypass", "in_gain", "makeup", "out_gain", "ratio", "release", "thresh" })
        block << "      <PARAM id=\"" << id << "\" value=\"-12.5\"/>\r\n";

    return block + "    </PARAMS>\r\n  </Preset>\r\n";
}

const std::map<std::string, std::function<juce::String()>>& presetFiles()
{
    static const std::map<std::string, std::function<juce::String()>> shapes = {
        { "presets", [] { return filled (declaration + "<UserPresets>\r\n", presetBlock(), "</UserPresets>\r\n"); } },
        { "elements", [] { return filled ("<UserPresets>", "<a/>", "</UserPresets>"); } },
        { "deepest", [] { return filled ("<UserPresets>", nested (maxDepth - 1), "</UserPresets>"); } },
        { "attributes", [] { return filled ("<UserPresets>", manyAttributes ("a"), "</UserPresets>"); } },
        { "elements_unclosed", [] { return filled ("<UserPresets>", "<a/>", "<a>"); } },
        { "beyond_the_depth", [] { return filled ("<UserPresets>" + nested (maxDepth), "<a/>", "</UserPresets>"); } },
    };

    return shapes;
}

const std::map<std::string, std::function<juce::String()>>& states()
{
    // A state whose snapshot's parameter tree is filled with the unit.
    const auto withSnapshot = [] (const juce::String& unit)
    {
        return filled ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <VarnokState currentProgram=\"0\" abSlot=\"0\"><PARAMS/><ABInactive><PARAMS>", unit,
                       "</PARAMS></ABInactive></VarnokState>");
    };

    static const std::map<std::string, std::function<juce::String()>> shapes = {
        // Half the children name one parameter, then the other half of another type: removing the
        // earlier duplicates one at a time would shift the rest each time.
        { "duplicate_params", [] {
              const juce::String head ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <VarnokState><PARAMS>"), tail ("</PARAMS><ABInactive/></VarnokState>");
              const juce::String duplicate ("<PARAM id=\"thresh\" value=\"-1\"/>"), other ("<X/>");
              const auto half = (maxTextBytes - (size_t) head.length() - (size_t) tail.length()) / 2;
              return head + juce::String::repeatedString (duplicate, (int) (half / (size_t) duplicate.length()))
                     + juce::String::repeatedString (other, (int) (half / (size_t) other.length())) + tail;
          } },
        { "snapshot_duplicate_params", [=] { return withSnapshot ("<PARAM id=\"thresh\" value=\"-1\"/><X/>"); } },
        { "snapshot_elements", [=] { return withSnapshot ("<a/>"); } },
        { "snapshot_deepest", [=] { return withSnapshot (nested (maxDepth - 3)); } },
        { "snapshot_attributes", [=] { return withSnapshot (manyAttributes ("PARAM")); } },
    };

    return shapes;
}

juce::MemoryBlock utf16le (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.writeShort ((short) 0xfeff);

    for (auto p = text.toUTF16(); ! p.isEmpty(); ++p)
        out.writeShort ((short) *p);

    return out.getMemoryBlock();
}

VarnokCompAudioProcessor& processor()
{
    static VarnokCompAudioProcessor p;
    return p;
}

void BM_LoadPresetFile (benchmark::State& state, const std::string& shape, bool inUtf16)
{
    auto& p = processor();
    const auto text = presetFiles().at (shape)();
    const auto bytes = inUtf16 ? utf16le (text) : juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8());
    const auto file = UserPresetStore::getPresetFile();
    file.getParentDirectory().createDirectory();
    file.replaceWithData (bytes.getData(), bytes.getSize());
    const juce::CriticalSection lock;
    bool accepted = false;

    for (auto _ : state)
    {
        const UserPresetStore store (&p.apvts, lock);
        accepted = store.getTree().getNumChildren() > 0;
        benchmark::DoNotOptimize (accepted);
    }

    state.counters["accepted"] = accepted ? 1 : 0;
    state.counters["MB"] = (double) text.getNumBytesAsUTF8() / (1024.0 * 1024.0);
    file.deleteFile();
    file.getSiblingFile ("UserPresets.xml.bak").deleteFile();
}

void BM_RestoreState (benchmark::State& state, const std::string& shape)
{
    auto& p = processor();
    const auto text = states().at (shape)();
    const auto blob = varnok::test::makeBlob (text);
    juce::MemoryBlock fresh;
    p.getStateInformation (fresh);
    bool accepted = false;

    for (auto _ : state)
    {
        state.PauseTiming();
        p.setCurrentProgram (3);
        state.ResumeTiming();
        p.setStateInformation (blob.getData(), (int) blob.getSize());
        accepted = p.getCurrentProgram() == 0;
        state.PauseTiming();
        p.setStateInformation (fresh.getData(), (int) fresh.getSize());
        state.ResumeTiming();
    }

    state.counters["accepted"] = accepted ? 1 : 0;
    state.counters["MB"] = (double) text.getNumBytesAsUTF8() / (1024.0 * 1024.0);
}

// The first A/B toggle after such a restore applies the whole snapshot.
void BM_RestoreStateAndToggle (benchmark::State& state, const std::string& shape)
{
    auto& p = processor();
    const auto blob = varnok::test::makeBlob (states().at (shape)());
    juce::MemoryBlock fresh;
    p.getStateInformation (fresh);

    for (auto _ : state)
    {
        state.PauseTiming();
        p.setStateInformation (blob.getData(), (int) blob.getSize());
        state.ResumeTiming();
        p.toggleAB();
        state.PauseTiming();
        p.setStateInformation (fresh.getData(), (int) fresh.getSize());
        state.ResumeTiming();
    }
}

void registerAll()
{
    for (const auto& [shape, make] : presetFiles())
    {
        juce::ignoreUnused (make);
        benchmark::RegisterBenchmark (("BM_LoadPresetFile/" + shape).c_str(), BM_LoadPresetFile, shape, false)->Unit (benchmark::kMillisecond);
    }

    for (const auto* shape : { "elements", "presets" })
        benchmark::RegisterBenchmark ((std::string ("BM_LoadPresetFile/") + shape + "_utf16").c_str(), BM_LoadPresetFile, std::string (shape), true)->Unit (benchmark::kMillisecond);

    for (const auto& [shape, make] : states())
    {
        juce::ignoreUnused (make);
        benchmark::RegisterBenchmark (("BM_RestoreState/" + shape).c_str(), BM_RestoreState, shape)->Unit (benchmark::kMillisecond);
    }

    for (const auto* shape : { "snapshot_duplicate_params", "snapshot_elements" })
        benchmark::RegisterBenchmark ((std::string ("BM_RestoreStateAndToggle/") + shape).c_str(), BM_RestoreStateAndToggle, std::string (shape))->Unit (benchmark::kMillisecond);
}
} // namespace

int main (int argc, char** argv)
{
    // The store reads and writes its file under $HOME/.config: a private home for this run.
    char home[] = "/tmp/varnok-bench-home-XXXXXX";

    if (mkdtemp (home) == nullptr)
        return 2;

    setenv ("HOME", home, 1);
    setenv ("XDG_CONFIG_HOME", (std::string (home) + "/.config").c_str(), 1);

    int result = 0;

    {
        juce::ScopedJuceInitialiser_GUI juceInitialiser;
        registerAll();
        benchmark::Initialize (&argc, argv);

        if (benchmark::ReportUnrecognizedArguments (argc, argv))
            result = 1;
        else
            benchmark::RunSpecifiedBenchmarks();

        benchmark::Shutdown();
    }

    juce::File (home).deleteRecursively();
    return result;
}
