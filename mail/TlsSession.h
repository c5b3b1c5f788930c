#pragma once
// TLS (OpenSSL) on a connected non-blocking socket the caller owns and waits on: every call
// returns at once, saying whether it is done or which way the socket must become ready, so
// the caller's deadlines govern every wait, the handshake's included.

#include <memory>

#include <QString>

namespace velk {

class TTlsSession {
public:
    enum class Outcome { Done, WantRead, WantWrite, Closed, Failed };
    struct Step {
        Outcome outcome = Outcome::Done;
        qsizetype bytes = 0; // moved by a Done Read or Write
    };

    // Verifies the server's certificate against the authorities in `caFile` (empty: the
    // system's trust store) and its name against `host` (a name or an IP address); TLS 1.2 or
    // later. Raises Exception when the CA file cannot be read.
    TTlsSession(int fd, const QString& host, const QString& caFile);
    ~TTlsSession();
    TTlsSession(const TTlsSession&) = delete;
    TTlsSession& operator=(const TTlsSession&) = delete;

    Step Handshake();
    Step Read(char* buffer, qsizetype size);
    Step Write(const char* data, qsizetype size);
    // Why the last step Failed: "certificate verify failed: self-signed certificate", ...
    QString Failure() const { return failure_; }

private:
    struct Handles;
    Step Classify(int result, bool handshake);

    std::unique_ptr<Handles> handles_;
    QString failure_;
};

} // namespace velk
