#include "mail/TlsSession.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <QHostAddress>

#include "common/Errors.h"

namespace velk {

namespace {

// The reason of the oldest error OpenSSL queued, or `fallback`.
QString OpenSslReason(const char* fallback) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return QString::fromLatin1(reason ? reason : fallback);
}

} // namespace

struct TTlsSession::Handles {
    struct FreeContext {
        void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
    };
    struct FreeSsl {
        void operator()(SSL* s) const { SSL_free(s); }
    };
    std::unique_ptr<SSL_CTX, FreeContext> context;
    std::unique_ptr<SSL, FreeSsl> ssl;
};

TTlsSession::TTlsSession(int fd, const QString& host, const QString& caFile)
    : handles_(std::make_unique<Handles>()) {
    // The queue is per thread and shared with every other OpenSSL user of this thread.
    ERR_clear_error();
    handles_->context.reset(SSL_CTX_new(TLS_client_method()));
    SSL_CTX* context = handles_->context.get();
    if (!context) throw Exception(QStringLiteral("TLS unavailable: ") + OpenSslReason("no memory"));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // SMTP replies are lines that say where they end: a connection closed without TLS's own
    // good-bye cuts nothing a line reader could take for whole, and many servers close so.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    const bool loaded =
        caFile.isEmpty() ? SSL_CTX_set_default_verify_paths(context) == 1
                         : SSL_CTX_load_verify_locations(context, caFile.toLocal8Bit().constData(),
                                                         nullptr) == 1;
    if (!loaded)
        throw Exception(caFile.isEmpty()
                            ? QStringLiteral("Unable to load the system's trust store: ") +
                                  OpenSslReason("unknown reason")
                            : QStringLiteral("Unable to read the CA certificate file ") + caFile +
                                  QStringLiteral(": ") + OpenSslReason("unknown reason"));

    handles_->ssl.reset(SSL_new(context));
    SSL* ssl = handles_->ssl.get();
    if (!ssl || SSL_set_fd(ssl, fd) != 1)
        throw Exception(QStringLiteral("TLS unavailable: ") + OpenSslReason("no memory"));
    SSL_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
    const QByteArray name = host.toUtf8();
    if (QHostAddress(host).isNull()) {
        SSL_set_tlsext_host_name(ssl, name.constData());
        SSL_set1_host(ssl, name.constData());
    } else {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.constData());
    }
}

TTlsSession::~TTlsSession() = default;

TTlsSession::Step TTlsSession::Classify(int result, bool handshake) {
    if (result > 0) return {Outcome::Done, result};
    SSL* ssl = handles_->ssl.get();
    const int error = SSL_get_error(ssl, result);
    const int savedErrno = errno;
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return {Outcome::WantRead};
    case SSL_ERROR_WANT_WRITE:
        return {Outcome::WantWrite};
    case SSL_ERROR_ZERO_RETURN:
        if (!handshake) return {Outcome::Closed};
        break;
    default:
        break;
    }
    if (handshake && SSL_get_verify_result(ssl) != X509_V_OK) {
        ERR_clear_error();
        failure_ = QStringLiteral("certificate verify failed: ") +
                   QString::fromLatin1(X509_verify_cert_error_string(SSL_get_verify_result(ssl)));
        return {Outcome::Failed};
    }
    QString reason;
    if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
        reason = savedErrno != 0 ? QString::fromLocal8Bit(std::strerror(savedErrno))
                                 : QStringLiteral("connection closed by the server");
    else
        reason = OpenSslReason("unknown reason");
    failure_ =
        (handshake ? QStringLiteral("TLS handshake failed: ") : QStringLiteral("TLS: ")) + reason;
    return {Outcome::Failed};
}

TTlsSession::Step TTlsSession::Handshake() {
    ERR_clear_error();
    errno = 0;
    return Classify(SSL_connect(handles_->ssl.get()), true);
}

TTlsSession::Step TTlsSession::Read(char* buffer, qsizetype size) {
    ERR_clear_error();
    errno = 0;
    return Classify(
        SSL_read(handles_->ssl.get(), buffer, static_cast<int>(std::min<qsizetype>(size, INT_MAX))),
        false);
}

TTlsSession::Step TTlsSession::Write(const char* data, qsizetype size) {
    ERR_clear_error();
    errno = 0;
    return Classify(
        SSL_write(handles_->ssl.get(), data, static_cast<int>(std::min<qsizetype>(size, INT_MAX))),
        false);
}

} // namespace velk
