#pragma once

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace edtest
{
// Stands in for the desktop's xdg-open, first on PATH for the length of a scope, so that the
// plug-in's real launcher can be driven without a browser. The stub records the arguments it was
// started with (their count, then each one NUL-terminated, written to "call" in one rename),
// leaves a line in "runs" per start, and can sleep before it touches "finished".
class BrowserStub
{
public:
    explicit BrowserStub (int sleepSeconds = 0)
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("varnok-browser", {}, false))
    {
        folder.createDirectory();
        const auto dir = folder.getFullPathName();

        // The folder is a plain temporary path: no quotes in it to escape.
        const auto script = "#!/bin/sh\n"
                            "echo run >> '" + dir + "/runs'\n"
                            "printf '%s\\n' \"$#\" > '" + dir + "/call.part'\n"
                            "printf '%s\\0' \"$@\" >> '" + dir + "/call.part'\n"
                            "mv '" + dir + "/call.part' '" + dir + "/call'\n"
                            "sleep " + juce::String (sleepSeconds) + "\n"
                            ": > '" + dir + "/finished'\n";
        file ("xdg-open").replaceWithText (script, false, false, "\n");
        file ("xdg-open").setExecutePermission (true);

        if (const char* old = std::getenv ("PATH"))
            previousPath = old;

        ::setenv ("PATH", (dir + ":" + juce::String (previousPath.value_or ("/usr/bin:/bin"))).toRawUTF8(), 1);
    }

    ~BrowserStub()
    {
        if (previousPath)
            ::setenv ("PATH", previousPath->c_str(), 1);
        else
            ::unsetenv ("PATH");

        folder.deleteRecursively();
    }

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    bool wasStarted() const { return file ("runs").exists(); }

    // Polls for the recorded call; the stub runs on its own, after the launcher has returned.
    bool waitFor (const juce::String& name, int timeoutMs = 10000) const
    {
        for (int waited = 0; ! file (name).exists() && waited < timeoutMs; waited += 20)
            juce::Thread::sleep (20);

        return file (name).exists();
    }

    // The arguments of the recorded call, byte for byte; empty when there is none.
    std::vector<std::string> arguments() const
    {
        juce::MemoryBlock bytes;

        if (! file ("call").loadFileAsData (bytes))
            return {};

        const std::string text ((const char*) bytes.getData(), bytes.getSize());
        const auto newline = text.find ('\n');
        const auto count = std::atoi (text.substr (0, newline).c_str());
        std::vector<std::string> result;

        for (size_t start = newline + 1; (int) result.size() < count && start < text.size();)
        {
            const auto end = text.find ('\0', start);
            result.push_back (text.substr (start, end - start));
            start = end == std::string::npos ? text.size() : end + 1;
        }

        return result;
    }

    void forgetCall() const
    {
        file ("call").deleteFile();
        file ("runs").deleteFile();
        file ("finished").deleteFile();
    }

    const juce::File folder;

private:
    std::optional<std::string> previousPath;
};
} // namespace edtest
