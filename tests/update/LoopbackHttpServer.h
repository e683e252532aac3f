#pragma once

#include <juce_core/juce_core.h>

#include <map>
#include <memory>
#include <vector>

// A minimal HTTP/1.1 server on 127.0.0.1 and a port the system picks, serving fixed responses per
// path from its own thread, one connection at a time. A route may "hang": the connection is
// accepted and its request read, but no answer is ever sent until the server is destroyed.
// Unknown paths get a plain 404 page.
class LoopbackHttpServer final : private juce::Thread
{
public:
    struct Response
    {
        int status = 200;
        juce::String contentType = "application/json";
        juce::MemoryBlock body;
        juce::String location; // sent as a Location header when not empty
        bool hang = false;
    };

    static Response text (const juce::String& body, int status = 200, const juce::String& contentType = "application/json");
    static Response bytes (const juce::MemoryBlock& body);
    static Response redirect (const juce::String& location);
    static Response hanging();

    LoopbackHttpServer();
    ~LoopbackHttpServer() override;

    bool isListening() const noexcept { return port > 0; }
    int getPort() const noexcept { return port; }
    juce::String urlFor (const juce::String& path) const;

    void setRoute (const juce::String& path, Response response);

    // Request lines ("GET /path HTTP/1.1") in arrival order, and the connections held open.
    juce::StringArray getRequestLines() const;
    int getHangingConnectionCount() const;

    // Polls until at least count requests arrived (or count connections hang); false on timeout.
    bool waitForRequests (int count, int timeoutMs) const;
    bool waitForHangingConnections (int count, int timeoutMs) const;

private:
    void run() override;
    void serve (std::unique_ptr<juce::StreamingSocket> connection);
    bool writeAll (juce::StreamingSocket& connection, const void* data, size_t size);

    juce::StreamingSocket listener;
    int port = -1;

    juce::CriticalSection lock;
    std::map<juce::String, Response> routes;
    juce::StringArray requestLines;
    std::vector<std::unique_ptr<juce::StreamingSocket>> hangingConnections;
};
