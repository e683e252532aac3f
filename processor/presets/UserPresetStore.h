#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// The user's own presets: named copies of the parameter tree, kept in memory as a "UserPresets"
// tree and in one XML file per user account that every instance of the plug-in shares. The file
// is read once, at construction, and rewritten whole after every change.
class UserPresetStore
{
public:
    // stateLock is the processor's lock that keeps preset actions apart from host state calls
    // made on other threads; it must outlive the store.
    UserPresetStore (juce::AudioProcessorValueTreeState* parameterState, const juce::CriticalSection& stateLock);

    // <application data>/Olmet/<pluginName>/UserPresets.xml; an empty File when the platform
    // names no application-data folder.
    static juce::File getPresetFileFor (const juce::String& pluginName);
    static juce::File getPresetFile();

    // Reads the file into the store. A file that does not parse or has another root is copied
    // to "UserPresets.xml.bak" and the store starts empty.
    void load();

    // Writes the whole store to the file, replacing it atomically; false when nothing was written.
    bool save();

    // Stores the live parameters under the trimmed name (replacing presets of that name) and saves.
    bool saveCurrentAs (const juce::String& name);

    // Removes every preset of exactly that name and saves; false when there was none.
    bool deletePreset (const juce::String& name);

    juce::StringArray getPresetNames() const;

    // Makes the first preset of that name the live parameter tree; clears the undo history.
    void loadPreset (const juce::String& name);

    juce::StringArray getFactoryCategories() const;
    juce::String getFactoryCategory (int index) const;
    juce::String getFactoryName (int index) const;
    int getNumFactoryPresets() const;

    // The presets as they are held in memory (read only).
    const juce::ValueTree& getTree() const noexcept { return tree; }

private:
    juce::AudioProcessorValueTreeState* apvts;
    const juce::CriticalSection& lock;
    juce::ValueTree tree;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UserPresetStore)
};
