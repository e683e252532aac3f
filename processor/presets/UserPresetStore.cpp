#include "UserPresetStore.h"

#include "FactoryPresets.h"
#include "processor/ParameterTree.h"
#include "processor/PluginIdentity.h"
#include "processor/XmlInput.h"

namespace
{
const juce::Identifier userPresetsType ("UserPresets");
const juce::Identifier presetType ("Preset");
const juce::Identifier nameProperty ("name");

bool isPresetNamed (const juce::ValueTree& child, const juce::String& name)
{
    return child.hasType (presetType) && child.getProperty (nameProperty).toString() == name;
}

// Removes every preset of exactly that name, last first; returns how many went.
int removePresetsNamed (juce::ValueTree& tree, const juce::String& name)
{
    int removed = 0;

    for (int i = tree.getNumChildren(); --i >= 0;)
    {
        if (isPresetNamed (tree.getChild (i), name))
        {
            tree.removeChild (i, nullptr);
            ++removed;
        }
    }

    return removed;
}
} // namespace

UserPresetStore::UserPresetStore (juce::AudioProcessorValueTreeState* parameterState, const juce::CriticalSection& stateLock)
    : apvts (parameterState), lock (stateLock), tree (userPresetsType)
{
    load();
}

juce::File UserPresetStore::getPresetFileFor (const juce::String& pluginName)
{
    const auto base = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);

    // Without a base folder the path would fall back to the file-system root: keep no file then.
    if (base.getFullPathName().isEmpty())
        return {};

    return base.getChildFile (varnok::identity::maker).getChildFile (pluginName).getChildFile ("UserPresets.xml");
}

juce::File UserPresetStore::getPresetFile() { return getPresetFileFor (varnok::identity::pluginName); }

void UserPresetStore::load()
{
    const auto file = getPresetFileFor (varnok::identity::pluginName);

    if (file.getFullPathName().isNotEmpty() && file.existsAsFile())
    {
        juce::ValueTree loaded;

        if (auto xml = varnok::parseXmlFile (file))
            loaded = varnok::valueTreeFromXml (*xml);

        if (loaded.hasType (userPresetsType))
        {
            tree = loaded;
        }
        else
        {
            // Keep what the user had before the next save overwrites it.
            const auto backup = file.getSiblingFile (file.getFileName() + ".bak");
            backup.deleteFile();
            file.copyFileTo (backup);
        }
    }

    if (! tree.hasType (userPresetsType))
        tree = juce::ValueTree (userPresetsType);
}

bool UserPresetStore::save()
{
    const juce::ScopedLock sl (lock);
    const auto file = getPresetFileFor (varnok::identity::pluginName);

    if (file.getFullPathName().isEmpty() || ! file.getParentDirectory().createDirectory().wasOk())
        return false;

    const auto xml = tree.createXml();

    if (xml == nullptr)
        return false;

    juce::MemoryOutputStream text;
    xml->writeTo (text);

    // Written beside the target and renamed into its place, so a failed write leaves the previous
    // file as it was. XmlElement::writeTo (File) does the same but takes a short write (a nearly
    // full disk) for success; unbuffered, FileOutputStream::write reports it.
    juce::TemporaryFile temp (file);

    {
        juce::FileOutputStream out (temp.getFile(), 0);

        if (! out.openedOk() || ! out.write (text.getData(), text.getDataSize()))
            return false;

        out.flush();

        if (out.getStatus().failed())
            return false;
    }

    return temp.getFile().getSize() == (juce::int64) text.getDataSize() && temp.overwriteTargetFileWithTemporary();
}

bool UserPresetStore::saveCurrentAs (const juce::String& name)
{
    const auto trimmed = name.trim();

    if (trimmed.isEmpty())
        return false;

    const juce::ScopedLock sl (lock);
    removePresetsNamed (tree, trimmed);

    auto copy = apvts->copyState();
    copy.removeAllProperties (nullptr);

    juce::ValueTree preset (presetType);
    preset.setProperty (nameProperty, trimmed, nullptr);
    preset.appendChild (copy, nullptr);
    tree.appendChild (preset, nullptr);

    return save();
}

bool UserPresetStore::deletePreset (const juce::String& name)
{
    const juce::ScopedLock sl (lock);

    if (removePresetsNamed (tree, name) == 0)
        return false;

    return save();
}

juce::StringArray UserPresetStore::getPresetNames() const
{
    juce::StringArray names;

    for (const auto& child : tree)
        if (child.hasType (presetType))
            names.add (child.getProperty (nameProperty).toString());

    return names;
}

void UserPresetStore::loadPreset (const juce::String& name)
{
    const juce::ScopedLock sl (lock);

    juce::ValueTree preset;

    for (const auto& child : tree)
    {
        if (isPresetNamed (child, name))
        {
            preset = child;
            break;
        }
    }

    const auto stored = preset.getChildWithName (apvts->state.getType());

    if (! stored.isValid())
        return;

    // The editor's settings live on the root of the live tree; they are not part of a preset.
    const auto& live = apvts->state;
    juce::NamedValueSet rootProperties;

    for (int i = 0; i < live.getNumProperties(); ++i)
    {
        const auto property = live.getPropertyName (i);
        rootProperties.set (property, live.getProperty (property));
    }

    auto copy = stored.createCopy();
    varnok::prepareParameterTree (*apvts, copy);

    juce::StringArray ids;

    for (const auto& child : copy)
        if (child.hasProperty ("id"))
            ids.add (child.getProperty ("id").toString());

    apvts->replaceState (copy);

    // A preset saved before a parameter existed leaves that parameter at its default.
    for (auto* p : apvts->processor.getParameters())
    {
        if (auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (p))
        {
            if (! ids.contains (parameter->getParameterID()))
            {
                const auto defaultValue = parameter->getDefaultValue();
                parameter->setValue (defaultValue);
                parameter->sendValueChangedMessageToListeners (defaultValue);
            }
        }
    }

    for (const auto& property : rootProperties)
        apvts->state.setProperty (property.name, property.value, nullptr);
}

juce::StringArray UserPresetStore::getFactoryCategories() const
{
    juce::StringArray categories;

    for (const auto& preset : varnok::getFactoryPresets())
        categories.addIfNotAlreadyThere (preset.category, false);

    return categories;
}

juce::String UserPresetStore::getFactoryCategory (int index) const
{
    const auto& presets = varnok::getFactoryPresets();
    return juce::isPositiveAndBelow (index, (int) presets.size()) ? juce::String (presets[(size_t) index].category) : juce::String();
}

juce::String UserPresetStore::getFactoryName (int index) const
{
    const auto& presets = varnok::getFactoryPresets();
    return juce::isPositiveAndBelow (index, (int) presets.size()) ? juce::String (presets[(size_t) index].name) : juce::String();
}

int UserPresetStore::getNumFactoryPresets() const { return (int) varnok::getFactoryPresets().size(); }
