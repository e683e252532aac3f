#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#if JUCE_LINUX || JUCE_BSD
 #include <unistd.h>

// Every processor reads and writes the user-preset file under JUCE's application-data folder.
// On Linux JUCE takes that folder from $HOME (~/.config; it reads XDG_CONFIG_HOME only from
// ~/.config/user-dirs.dirs, never from the environment), so each test process gets a fresh,
// empty home of its own before anything runs; the real user's presets are never touched.
static std::string makeFreshHome()
{
    const char* tmp = std::getenv ("TMPDIR");
    std::string pattern = std::string (tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/varnok-test-home-XXXXXX";

    if (mkdtemp (pattern.data()) == nullptr)
    {
        std::perror ("mkdtemp");
        std::exit (2);
    }

    setenv ("HOME", pattern.c_str(), 1);
    setenv ("XDG_CONFIG_HOME", (pattern + "/.config").c_str(), 1);
    return pattern;
}
#endif

// JUCE needs its message manager (timers, async updates, value trees) on the thread that runs
// the tests; the tests play the message thread.
int main (int argc, char** argv)
{
   #if JUCE_LINUX || JUCE_BSD
    const juce::File home (makeFreshHome());

    // Every editor starts an update check. Unless a test asks otherwise, the check's test mode
    // answers with a version that is not newer: no network request, no dialog.
    setenv ("VARNOK_UPDATE_TEST", "0.0.0", 0);
   #endif

    ::testing::InitGoogleTest (&argc, argv);
    int result = 0;

    {
        juce::ScopedJuceInitialiser_GUI juceInitialiser;
        result = RUN_ALL_TESTS();
    }

   #if JUCE_LINUX || JUCE_BSD
    home.deleteRecursively();
   #endif
    return result;
}
