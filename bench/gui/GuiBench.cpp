// Painting cost per frame with JUCE's software renderer at the editor's first size, 1241 by 527,
// that is the design canvas at scale 0.85.

#include "editor/VarnokKnobLookAndFeel.h"
#include "editor/VarnokScaledEditor.h"
#include "editor/widgets/CompGraph.h"
#include "editor/widgets/GRMeter.h"
#include "editor/widgets/LabeledKnob.h"
#include "editor/widgets/LevelMeter.h"
#include "processor/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr float editorScale = 0.85f;

// Drives the processor with a swelling sine so the meters and the graph's history hold real data.
void feed (VarnokCompAudioProcessor& processor, int block)
{
    juce::AudioBuffer<float> buffer (2, 512);
    const auto amplitude = 0.05f + 0.9f * (float) (0.5 + 0.5 * std::sin (block * 0.07));

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (ch, i, amplitude * (float) std::sin ((block * 512 + i) * 0.13 + ch));

    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
}

struct Fixture
{
    Fixture()
    {
        processor.prepareToPlay (48000.0, 512);
        graph.setSize (1278, 380);
        levelMeter.setSize (84, 380);
        grMeter.setSize (66, 380);

        knobHost.setLookAndFeel (&lnf);
        knobHost.setSize (91, 114);
        knobHost.addAndMakeVisible (knob);
        knob.setBounds (0, 0, 91, 114);

        for (int block = 0; block < CompGraph::historyLength; ++block)
        {
            feed (processor, block);
            graph.timerCallback();
            levelMeter.timerCallback();
            grMeter.timerCallback();
        }
    }

    ~Fixture() { knobHost.setLookAndFeel (nullptr); }

    VarnokCompAudioProcessor processor;
    CompGraph graph { processor };
    LevelMeter levelMeter { processor };
    GRMeter grMeter { processor };
    VarnokKnobLookAndFeel lnf;
    juce::Component knobHost;
    LabeledKnob knob { processor.apvts, "thresh", "THRESH", juce::Colour (0xff4a90e2) };
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// One frame of a component drawn as it appears in the scaled editor.
void paintScaled (benchmark::State& state, juce::Component& component)
{
    const auto w = juce::roundToInt (component.getWidth() * editorScale);
    const auto h = juce::roundToInt (component.getHeight() * editorScale);
    juce::Image image (juce::Image::ARGB, w, h, true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (editorScale));
        component.paintEntireComponent (g, true);
        benchmark::DoNotOptimize (image.getPixelAt (w / 2, h / 2));
    }
}

void BM_PaintCompGraph (benchmark::State& state) { paintScaled (state, fixture().graph); }
void BM_PaintLevelMeter (benchmark::State& state) { paintScaled (state, fixture().levelMeter); }
void BM_PaintGRMeter (benchmark::State& state) { paintScaled (state, fixture().grMeter); }
void BM_PaintLabeledKnob (benchmark::State& state) { paintScaled (state, fixture().knobHost); }

//==============================================================================
// A stand-in for the main editor: its graph, meters and thirteen knobs at their design places on
// section panels, under the knob look-and-feel.
class BenchEditor : public VarnokScaledEditor
{
public:
    explicit BenchEditor (VarnokCompAudioProcessor& p)
        : VarnokScaledEditor (p), processor (p)
    {
        setLookAndFeel (&lnf);
        addAndMakeVisible (graph);
        addAndMakeVisible (levelMeter);
        addAndMakeVisible (grMeter);

        struct KnobSetup { const char* caption; const char* id; const char* text; double value; juce::uint32 accent; };
        const KnobSetup setups[] = {
            { "IN", "in_gain", nullptr, 0, 0xff9aa6b8 },       { "THRESH", "thresh", nullptr, 0, 0xff4a90e2 },
            { "RATIO", "ratio", nullptr, 0, 0xff4a90e2 },      { "KNEE", nullptr, "6.0 dB", 0.2, 0xff4a90e2 },
            { "ATTACK", "attack", nullptr, 0, 0xff4fbf6b },    { "RELEASE", "release", nullptr, 0, 0xff4fbf6b },
            { "LOOKAHEAD", nullptr, "Off", 0.0, 0xff4fbf6b },  { "MAKEUP", "makeup", nullptr, 0, 0xffe0a13a },
            { "MIX", nullptr, "100 %", 1.0, 0xffe0a13a },      { "OUT", "out_gain", nullptr, 0, 0xff9aa6b8 },
            { "HPF", nullptr, "Off", 0.0, 0xff33c1c9 },        { "LPF", nullptr, "Off", 1.0, 0xff33c1c9 },
            { "LINK", nullptr, "100 %", 1.0, 0xffe9608e },
        };

        for (const auto& s : setups)
        {
            knobs.push_back (s.id != nullptr ? std::make_unique<LabeledKnob> (p.apvts, s.id, s.caption, juce::Colour (s.accent))
                                             : std::make_unique<LabeledKnob> (s.caption, juce::Colour (s.accent), s.text, s.value));
            addAndMakeVisible (*knobs.back());
        }

        initialiseScaledContent (editorScale);
    }

    ~BenchEditor() override { setLookAndFeel (nullptr); }

    void layoutContent() override
    {
        graph.setBounds (10, 50, 1278, 380);
        grMeter.setBounds (1296, 50, 66, 380);
        levelMeter.setBounds (1366, 50, 84, 380);

        const juce::Rectangle<int> knobBounds[] = {
            { 16, 468, 104, 114 },  { 142, 468, 91, 114 },  { 233, 468, 91, 114 },  { 324, 468, 92, 114 },
            { 438, 468, 104, 114 }, { 542, 468, 104, 114 }, { 646, 468, 106, 114 }, { 1186, 468, 86, 114 },
            { 1272, 468, 86, 114 }, { 1358, 468, 86, 114 }, { 774, 468, 109, 114 }, { 883, 468, 110, 114 },
            { 1015, 468, 149, 114 },
        };

        for (size_t i = 0; i < knobs.size(); ++i)
            knobs[i]->setBounds (knobBounds[i]);
    }

    void paintContent (juce::Graphics& g) override
    {
        g.fillAll (juce::Colour (0xff0c0f16));
        const juce::Rectangle<int> sections[] = { { 8, 440, 120, 174 },  { 134, 440, 290, 174 }, { 430, 440, 330, 174 },
                                                  { 766, 440, 235, 174 }, { 1007, 440, 165, 174 }, { 1178, 440, 274, 174 } };

        for (auto area : sections)
        {
            g.setColour (juce::Colour (0xff161b26));
            g.fillRoundedRectangle (area.toFloat(), 6.0f);
        }
    }

    VarnokCompAudioProcessor& processor;
    VarnokKnobLookAndFeel lnf;
    CompGraph graph { processor };
    LevelMeter levelMeter { processor };
    GRMeter grMeter { processor };
    std::vector<std::unique_ptr<LabeledKnob>> knobs;
};

void BM_PaintWholeCanvas (benchmark::State& state)
{
    auto& f = fixture();
    BenchEditor editor (f.processor);
    editor.setSize (1241, 527);

    for (int block = 0; block < CompGraph::historyLength; ++block)
    {
        feed (f.processor, block);
        editor.graph.timerCallback();
        editor.levelMeter.timerCallback();
        editor.grMeter.timerCallback();
    }

    juce::Image image (juce::Image::ARGB, editor.getWidth(), editor.getHeight(), true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        editor.paintEntireComponent (g, true);
        benchmark::DoNotOptimize (image.getPixelAt (600, 300));
    }
}
} // namespace

BENCHMARK (BM_PaintCompGraph)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_PaintLevelMeter)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_PaintGRMeter)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_PaintLabeledKnob)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_PaintWholeCanvas)->Unit (benchmark::kMillisecond);

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
