#include "WebLauncher.h"

#include <cstring>
#include <string>

#if JUCE_LINUX
 #include <cerrno>
 #include <csignal>
 #include <cstdlib>
 #include <fcntl.h>
 #include <sys/stat.h>
 #include <sys/wait.h>
 #include <unistd.h>
#endif

namespace varnok
{
namespace
{
WebPageOpener& currentOpener()
{
    static WebPageOpener opener;
    return opener;
}

bool isAsciiLetterOrDigit (char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHexDigit (char c) noexcept
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The characters of an address, less those a shell or a launcher script could read as syntax
// ($ ' ( ) * ; besides the quotes, back-quotes, blanks and controls that no address contains).
// Brackets are kept for IPv6 hosts; the host check decides where they may stand.
bool isAddressCharacter (char c) noexcept
{
    return isAsciiLetterOrDigit (c) || (c != 0 && std::strchr ("-._~:/?#[]@!&+,=%", c) != nullptr);
}

bool startsWithIgnoringCase (const std::string& text, const char* prefix)
{
    const auto length = std::strlen (prefix);
    return text.size() >= length && juce::String (text.substr (0, length)).equalsIgnoreCase (prefix);
}

bool isPort (const std::string& digits)
{
    if (digits.empty() || digits.size() > 5)
        return false;

    for (auto c : digits)
        if (c < '0' || c > '9')
            return false;

    return std::stoi (digits) <= 65535;
}

// A name or an IPv4 address (letters, digits, '-' and '.', no empty label) or a bracketed IPv6
// address, then an optional port. No user name: "https://shop@evil" is not the shop.
bool isHostAndPort (const std::string& authority)
{
    std::string host = authority;
    std::string port;

    if (! host.empty() && host.front() == '[')
    {
        const auto close = host.find (']');

        if (close == std::string::npos || close < 3)
            return false;

        const auto inside = host.substr (1, close - 1);
        const auto rest = host.substr (close + 1);

        for (auto c : inside)
            if (! (isHexDigit (c) || c == ':' || c == '.'))
                return false;

        if (! rest.empty() && (rest.front() != ':' || ! isPort (rest.substr (1))))
            return false;

        return true;
    }

    if (const auto colon = host.find (':'); colon != std::string::npos)
    {
        port = host.substr (colon + 1);
        host = host.substr (0, colon);

        if (! isPort (port))
            return false;
    }

    if (host.empty() || host.front() == '.' || host.front() == '-' || host.find ("..") != std::string::npos)
        return false;

    for (auto c : host)
        if (! (isAsciiLetterOrDigit (c) || c == '-' || c == '.'))
            return false;

    return true;
}

#if JUCE_LINUX
// The first executable regular file of that name in an absolute PATH entry. Empty and relative
// entries are skipped: they would name a file relative to wherever the host happens to run.
std::string findOnPath (const char* name)
{
    const char* path = std::getenv ("PATH");
    const std::string entries = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";

    for (size_t start = 0; start <= entries.size();)
    {
        auto end = entries.find (':', start);

        if (end == std::string::npos)
            end = entries.size();

        const auto folder = entries.substr (start, end - start);
        start = end + 1;

        if (folder.empty() || folder.front() != '/')
            continue;

        const auto candidate = folder + "/" + name;
        struct stat info;

        if (::stat (candidate.c_str(), &info) == 0 && S_ISREG (info.st_mode) && ::access (candidate.c_str(), X_OK) == 0)
            return candidate;
    }

    return {};
}

// Runs the program with the one argument in a grandchild of ours and returns once it has been
// exec'd (or failed to be): the intermediate child only forks and exits, is reaped here, and
// the grandchild belongs to init from then on, so no zombie is left and nothing waits for the
// browser. A pipe that closes on exec tells an exec failure from a success.
bool startDetached (const std::string& program, const std::string& argument)
{
    // Everything the children use is ready before the fork: this process has other threads,
    // so the children call only async-signal-safe functions.
    char* const argv[] = { const_cast<char*> (program.c_str()), const_cast<char*> (argument.c_str()), nullptr };
    int execReport[2];

    if (::pipe2 (execReport, O_CLOEXEC) != 0)
        return false;

    const auto child = ::fork();

    if (child < 0)
    {
        ::close (execReport[0]);
        ::close (execReport[1]);
        return false;
    }

    if (child == 0)
    {
        ::close (execReport[0]);
        const auto grandchild = ::fork();

        if (grandchild == 0)
        {
            ::setsid(); // not in the host's session: a terminal's signals to the host skip the browser

            sigset_t none;
            ::sigemptyset (&none);
            ::sigprocmask (SIG_SETMASK, &none, nullptr);

            ::execv (argv[0], argv);

            const int error = errno;
            [[maybe_unused]] const auto written = ::write (execReport[1], &error, sizeof (error));
            ::_exit (127);
        }

        ::_exit (grandchild < 0 ? 1 : 0);
    }

    ::close (execReport[1]);

    int status = 0;
    pid_t waited;

    do
        waited = ::waitpid (child, &status, 0);
    while (waited < 0 && errno == EINTR);

    // A host that ignores SIGCHLD has its children reaped for it: waitpid then finds none.
    const bool forked = waited == child ? (WIFEXITED (status) && WEXITSTATUS (status) == 0)
                                        : (waited < 0 && errno == ECHILD);

    int error = 0;
    ssize_t got;

    do
        got = ::read (execReport[0], &error, sizeof (error));
    while (got < 0 && errno == EINTR);

    ::close (execReport[0]);
    return forked && got == 0;
}
#endif

bool openInSystemBrowser (const juce::URL& url, const juce::String& address)
{
   #if JUCE_LINUX
    // Not juce::URL::launchInDefaultBrowser: on Linux it hands the address to /bin/sh.
    juce::ignoreUnused (url);
    const auto program = findOnPath ("xdg-open");
    return ! program.empty() && startDetached (program, address.toStdString());
   #else
    juce::ignoreUnused (address);
    return url.launchInDefaultBrowser();
   #endif
}
} // namespace

bool isOpenableWebAddress (const juce::String& address)
{
    const auto text = address.toStdString();

    if (text.empty() || text.size() > (size_t) maxWebAddressBytes)
        return false;

    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto c = text[i];

        if (! isAddressCharacter (c))
            return false;

        if (c == '%' && (i + 2 >= text.size() || ! isHexDigit (text[i + 1]) || ! isHexDigit (text[i + 2])))
            return false;
    }

    size_t start = 0;

    if (startsWithIgnoringCase (text, "https://"))
        start = 8;
    else if (startsWithIgnoringCase (text, "http://"))
        start = 7;
    else
        return false;

    const auto end = text.find_first_of ("/?#", start);
    const auto authorityEnd = end == std::string::npos ? text.size() : end;

    if (! isHostAndPort (text.substr (start, authorityEnd - start)))
        return false;

    return text.find_first_of ("[]", authorityEnd) == std::string::npos;
}

bool openWebPage (const juce::URL& url)
{
    // What a browser would be given: the address with its query and fragment as JUCE writes them.
    const auto address = url.toString (true);

    if (! isOpenableWebAddress (address))
        return false;

    if (auto& opener = currentOpener())
        return opener (url);

    return openInSystemBrowser (url, address);
}

void setWebPageOpener (WebPageOpener opener) { currentOpener() = std::move (opener); }
} // namespace varnok
