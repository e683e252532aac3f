#include "LoopbackHttpServer.h"

#if ! JUCE_WINDOWS
 #include <sys/socket.h>
#endif

namespace
{
juce::String reasonPhrase (int status)
{
    switch (status)
    {
        case 200: return "OK";
        case 302: return "Found";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        default:  return "Status";
    }
}

template <typename Predicate>
bool pollUntil (Predicate&& predicate, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (! predicate())
    {
        if (juce::Time::getMillisecondCounterHiRes() > end)
            return false;

        juce::Thread::sleep (5);
    }

    return true;
}
} // namespace

LoopbackHttpServer::Response LoopbackHttpServer::text (const juce::String& body, int status, const juce::String& contentType)
{
    Response response;
    response.status = status;
    response.contentType = contentType;
    response.body.append (body.toRawUTF8(), body.getNumBytesAsUTF8());
    return response;
}

LoopbackHttpServer::Response LoopbackHttpServer::bytes (const juce::MemoryBlock& body)
{
    Response response;
    response.body = body;
    return response;
}

LoopbackHttpServer::Response LoopbackHttpServer::redirect (const juce::String& location)
{
    Response response;
    response.status = 302;
    response.contentType = "text/plain";
    response.location = location;
    return response;
}

LoopbackHttpServer::Response LoopbackHttpServer::hanging()
{
    Response response;
    response.hang = true;
    return response;
}

LoopbackHttpServer::LoopbackHttpServer()
    : juce::Thread ("LoopbackHttpServer")
{
    // Port 0: the system picks a free port; only the loopback interface is bound.
    if (listener.createListener (0, "127.0.0.1"))
    {
        port = listener.getBoundPort();
        startThread();
    }
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    signalThreadShouldExit();
    stopThread (5000);
    listener.close();

    const juce::ScopedLock sl (lock);
    hangingConnections.clear();
}

juce::String LoopbackHttpServer::urlFor (const juce::String& path) const
{
    return "http://127.0.0.1:" + juce::String (port) + path;
}

void LoopbackHttpServer::setRoute (const juce::String& path, Response response)
{
    const juce::ScopedLock sl (lock);
    routes[path] = std::move (response);
}

juce::StringArray LoopbackHttpServer::getRequestLines() const
{
    const juce::ScopedLock sl (lock);
    return requestLines;
}

int LoopbackHttpServer::getHangingConnectionCount() const
{
    const juce::ScopedLock sl (lock);
    return (int) hangingConnections.size();
}

bool LoopbackHttpServer::waitForRequests (int count, int timeoutMs) const
{
    return pollUntil ([this, count] { return getRequestLines().size() >= count; }, timeoutMs);
}

bool LoopbackHttpServer::waitForHangingConnections (int count, int timeoutMs) const
{
    return pollUntil ([this, count] { return getHangingConnectionCount() >= count; }, timeoutMs);
}

void LoopbackHttpServer::run()
{
    while (! threadShouldExit())
    {
        if (listener.waitUntilReady (true, 20) != 1)
            continue;

        if (auto* connection = listener.waitForNextConnection())
            serve (std::unique_ptr<juce::StreamingSocket> (connection));
    }
}

void LoopbackHttpServer::serve (std::unique_ptr<juce::StreamingSocket> connection)
{
    // Read the request head; the checker sends no body.
    juce::MemoryOutputStream head;
    char buffer[1024];

    while (! threadShouldExit() && ! head.toString().contains ("\r\n\r\n") && head.getDataSize() < 16384)
    {
        if (connection->waitUntilReady (true, 2000) != 1)
            return;

        const auto n = connection->read (buffer, (int) sizeof (buffer), false);

        if (n <= 0)
            return;

        head.write (buffer, (size_t) n);
    }

    const auto requestLine = head.toString().upToFirstOccurrenceOf ("\r\n", false, false);
    const auto path = requestLine.fromFirstOccurrenceOf (" ", false, false).upToFirstOccurrenceOf (" ", false, false);

    Response response;
    {
        const juce::ScopedLock sl (lock);
        requestLines.add (requestLine);

        const auto route = routes.find (path);
        response = route != routes.end() ? route->second : text ("<html><body>404 Not Found</body></html>", 404, "text/html");

        if (response.hang)
        {
            hangingConnections.push_back (std::move (connection));
            return;
        }
    }

    const auto header = "HTTP/1.1 " + juce::String (response.status) + " " + reasonPhrase (response.status) + "\r\n"
                        + "Content-Type: " + response.contentType + "\r\n"
                        + (response.location.isNotEmpty() ? "Location: " + response.location + "\r\n" : juce::String())
                        + "Content-Length: " + juce::String ((juce::int64) response.body.getSize()) + "\r\n"
                        + "Connection: close\r\n\r\n";

    if (writeAll (*connection, header.toRawUTF8(), header.getNumBytesAsUTF8()))
        writeAll (*connection, response.body.getData(), response.body.getSize());
}

bool LoopbackHttpServer::writeAll (juce::StreamingSocket& connection, const void* data, size_t size)
{
    auto* bytes = static_cast<const char*> (data);

    while (size > 0)
    {
        // A client that stopped reading leaves the buffers full; give up rather than block.
        if (threadShouldExit() || connection.waitUntilReady (false, 2000) != 1)
            return false;

        const auto chunk = (int) juce::jmin (size, (size_t) 16384);
       #if JUCE_WINDOWS
        const auto sent = connection.write (bytes, chunk);
       #else
        // A client that hung up must not raise SIGPIPE in the test process.
        const auto sent = (int) ::send (connection.getRawSocketHandle(), bytes, (size_t) chunk, MSG_NOSIGNAL);
       #endif

        if (sent <= 0)
            return false;

        bytes += sent;
        size -= (size_t) sent;
    }

    return true;
}
