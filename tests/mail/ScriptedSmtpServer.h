#pragma once
// A loopback SMTP peer that answers from a script, for what real servers rarely do:
// refusals, multi-line replies, silence, resets and stalls. It serves one connection on
// its own thread and records every line it receives.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velk::test {

class ScriptedSmtpServer {
public:
    // Special replies.
    static constexpr const char* kSilent = "<silent>"; // say nothing
    static constexpr const char* kClose = "<close>";   // close the connection
    static constexpr const char* kReset = "<reset>";   // reset the connection
    static constexpr const char* kStall = "<stall>";   // answer 354, then stop reading

    struct Script {
        std::string greeting = "220 scripted.example ready\r\n";
        // Reply per command verb (upper case, "." for the end of the data); verbs not listed
        // get "250 OK", DATA gets "354 go ahead".
        std::map<std::string, std::string> replies;
    };

    struct Line {
        std::string text; // as received, with its CR LF
        std::chrono::steady_clock::time_point at;
    };

    explicit ScriptedSmtpServer(Script script);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

    int Port() const { return port_; }
    // Command lines received (outside the message data).
    std::vector<Line> Commands() const;
    std::vector<std::string> CommandTexts() const;
    // The raw bytes received between DATA and the final ".".
    std::string Data() const;
    // Waits until the client has closed its end (or `limit` passes).
    bool WaitForClientClose(std::chrono::milliseconds limit);

private:
    void Run();
    void Serve(int connection);
    bool Reply(int connection, const std::string& verb, const std::string& fallback);

    Script script_;
    int listener_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Line> commands_;
    std::string data_;
    bool clientClosed_ = false;
    std::condition_variable closed_;
    std::thread thread_;
};

} // namespace velk::test
