// The module as a VST3 host sees it before creating anything: exports, factory, classes, IDs.
#include "HostFixture.h"

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <dlfcn.h>
#include <regex>

using namespace Steinberg;

namespace
{
using Tuid = std::array<unsigned char, 16>;

// On Linux the SDK keeps all four words of a class ID big-endian.
Tuid makeId (uint32 l1, uint32 l2)
{
    Tuid id {};
    const uint32 words[] = { l1, l2, 0x4f6c6d74 /* 'Olmt' */, 0x566e6b74 /* 'Vnkt' */ };
    for (size_t w = 0; w < 4; ++w)
        for (size_t b = 0; b < 4; ++b)
            id[w * 4 + b] = (unsigned char) (words[w] >> (24 - 8 * b));
    return id;
}

Tuid toArray (const TUID id)
{
    Tuid result {};
    std::memcpy (result.data(), id, 16);
    return result;
}

bool allZero (const char* field, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (field[i] != 0)
            return false;
    return true;
}

// dlopen()s the module binary inside the bundle and enters it as a Linux VST3 host does.
struct LoadedModule
{
    LoadedModule()
    {
        const auto binary = juce::File (varnok::test::bundlePath()).getChildFile ("Contents/x86_64-linux/VARNOK COMP Free.so");
        handle = dlopen (binary.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE (handle, nullptr) << dlerror();
        if (handle == nullptr)
            return;

        moduleEntry = reinterpret_cast<bool (*) (void*)> (dlsym (handle, "ModuleEntry"));
        moduleExit = reinterpret_cast<bool (*)()> (dlsym (handle, "ModuleExit"));
        getFactory = reinterpret_cast<IPluginFactory* (*) ()> (dlsym (handle, "GetPluginFactory"));

        if (moduleEntry != nullptr && getFactory != nullptr)
        {
            EXPECT_TRUE (moduleEntry (handle));
            factory = getFactory();
        }
    }

    ~LoadedModule()
    {
        if (factory != nullptr)
            factory->release();
        if (moduleExit != nullptr)
            EXPECT_TRUE (moduleExit());
        if (handle != nullptr)
            dlclose (handle);
    }

    void* handle = nullptr;
    bool (*moduleEntry) (void*) = nullptr;
    bool (*moduleExit)() = nullptr;
    IPluginFactory* (*getFactory)() = nullptr;
    IPluginFactory* factory = nullptr;
};

struct ClassRow
{
    Tuid id;
    const char* category;
    const char* subCategories;
};

const ClassRow classTable[] = {
    { makeId (0xABCDEF01, 0x9182FAEB), "Audio Module Class", "Fx" },
    { makeId (0xABCDEF01, 0x1234ABCD), "Component Controller Class", "Fx" },
    { makeId (0xABCDEF01, 0xC0DEF00D), "Plugin Compatibility Class", "" },
};
} // namespace

TEST (ModuleTest, ExportsTheLinuxEntryPoints)
{
    LoadedModule module;
    EXPECT_NE (module.moduleEntry, nullptr);
    EXPECT_NE (module.moduleExit, nullptr);
    EXPECT_NE (module.getFactory, nullptr);

    // Each call makes a new factory.
    ASSERT_NE (module.factory, nullptr);
    auto* second = module.getFactory();
    EXPECT_NE (second, module.factory);
    second->release();
}

TEST (ModuleTest, FactoryInformation)
{
    LoadedModule module;
    ASSERT_NE (module.factory, nullptr);

    PFactoryInfo info;
    std::memset (&info, 0x55, sizeof (info));
    ASSERT_EQ (module.factory->getFactoryInfo (&info), kResultOk);
    EXPECT_STREQ (info.vendor, "Olmet");
    EXPECT_TRUE (allZero (info.vendor + 5, sizeof (info.vendor) - 5));
    EXPECT_TRUE (allZero (info.url, sizeof (info.url)));
    EXPECT_TRUE (allZero (info.email, sizeof (info.email)));
    EXPECT_EQ (info.flags, PFactoryInfo::kUnicode);
    EXPECT_EQ (module.factory->countClasses(), 3);
}

TEST (ModuleTest, ThreeClassesWithTheirIdsAndTexts)
{
    LoadedModule module;
    ASSERT_NE (module.factory, nullptr);

    FUnknownPtr<IPluginFactory2> factory2 (module.factory);
    FUnknownPtr<IPluginFactory3> factory3 (module.factory);
    ASSERT_TRUE (factory2);
    ASSERT_TRUE (factory3);

    for (int32 i = 0; i < 3; ++i)
    {
        SCOPED_TRACE (i);
        const auto& row = classTable[i];

        PClassInfo2 info;
        ASSERT_EQ (factory2->getClassInfo2 (i, &info), kResultOk);
        EXPECT_EQ (toArray (info.cid), row.id);
        EXPECT_EQ (info.cardinality, PClassInfo::kManyInstances);
        EXPECT_STREQ (info.category, row.category);
        EXPECT_STREQ (info.name, "VARNOK COMP Free");
        EXPECT_EQ (info.classFlags, 0u);
        EXPECT_STREQ (info.subCategories, row.subCategories);
        EXPECT_STREQ (info.vendor, "Olmet");
        EXPECT_STREQ (info.version, "1.0.2");
        EXPECT_STREQ (info.sdkVersion, "VST 3.7.12");

        // The UTF-16 copy carries the same texts.
        PClassInfoW wide;
        ASSERT_EQ (factory3->getClassInfoUnicode (i, &wide), kResultOk);
        EXPECT_EQ (toArray (wide.cid), row.id);
        EXPECT_EQ (juce::String (juce::CharPointer_UTF16 ((const juce::CharPointer_UTF16::CharType*) wide.name)), "VARNOK COMP Free");
        EXPECT_EQ (juce::String (juce::CharPointer_UTF16 ((const juce::CharPointer_UTF16::CharType*) wide.vendor)), "Olmet");
        EXPECT_EQ (juce::String (juce::CharPointer_UTF16 ((const juce::CharPointer_UTF16::CharType*) wide.version)), "1.0.2");

        // The plain record too.
        PClassInfo plain;
        ASSERT_EQ (module.factory->getClassInfo (i, &plain), kResultOk);
        EXPECT_EQ (toArray (plain.cid), row.id);
        EXPECT_STREQ (plain.category, row.category);
    }
}

TEST (ModuleTest, ComponentNamesTheControllerClass)
{
    LoadedModule module;
    ASSERT_NE (module.factory, nullptr);

    Vst::IComponent* component = nullptr;
    ASSERT_EQ (module.factory->createInstance ((const char*) classTable[0].id.data(), Vst::IComponent::iid, (void**) &component), kResultOk);
    ASSERT_NE (component, nullptr);
    ASSERT_EQ (component->initialize (nullptr), kResultOk);

    TUID controller {};
    EXPECT_EQ (component->getControllerClassId (controller), kResultOk);
    EXPECT_EQ (toArray (controller), classTable[1].id);
    EXPECT_EQ (std::memcmp (controller + 8, "OlmtVnkt", 8), 0);

    component->terminate();
    component->release();
}

TEST (ModuleTest, BundleCarriesItsModuleInfo)
{
    const auto info = juce::File (varnok::test::bundlePath()).getChildFile ("Contents/Resources/moduleinfo.json");
    ASSERT_TRUE (info.existsAsFile());

    // The SDK's module info is JSON5-like (trailing commas); drop those for JUCE's strict parser.
    const auto text = std::regex_replace (info.loadFileAsString().toStdString(), std::regex (",(\\s*[}\\]])"), "$1");
    const auto json = juce::JSON::parse (juce::String (text));
    EXPECT_EQ (json["Factory Info"]["Vendor"].toString(), "Olmet");
    const auto* classes = json["Classes"].getArray();
    ASSERT_NE (classes, nullptr);
    ASSERT_EQ (classes->size(), 3);

    for (int i = 0; i < 3; ++i)
    {
        const auto& entry = (*classes)[i];
        EXPECT_EQ (entry["Name"].toString(), "VARNOK COMP Free");
        EXPECT_EQ (entry["Version"].toString(), "1.0.2");
        EXPECT_EQ (entry["SDKVersion"].toString(), "VST 3.7.12");
        EXPECT_EQ (entry["Category"].toString(), classTable[i].category);
        EXPECT_EQ ((int) entry["Cardinality"], 0x7fffffff);
    }

    EXPECT_EQ ((*classes)[0]["CID"].toString(), "ABCDEF019182FAEB4F6C6D74566E6B74");
    EXPECT_EQ ((*classes)[1]["CID"].toString(), "ABCDEF011234ABCD4F6C6D74566E6B74");
    EXPECT_EQ ((*classes)[2]["CID"].toString(), "ABCDEF01C0DEF00D4F6C6D74566E6B74");
}
