#pragma once
// How the client reaches the mail server: port, TLS and login. The defaults are the plain
// port-25 dialogue with HELO and no login.

#include <QString>
#include <QStringList>

namespace velk {

enum class TMailSecurity {
    None,     // plain text, as on port 25
    StartTls, // plain greeting, then STARTTLS before anything else (port 587)
    Tls,      // TLS from the first byte (port 465)
};

inline constexpr int kPlainMailPort = 25;

struct TMailSubmission {
    int Port = kPlainMailPort;
    TMailSecurity Security = TMailSecurity::None;
    QString UserName{}; // empty: no login
    QString CAFile{};   // empty: the system's trust store
};

// "none", "STARTTLS", "TLS": the names the settings file and the dialog use, in enum order.
QStringList MailSecurityNames();

} // namespace velk
