#pragma once
// SMTP client that sends one plain-text message per call: connect with greeting and HELO,
// send the message described by PostMessage, disconnect with QUIT.

#include <functional>

#include <QString>

#include "mail/PostMessage.h"
#include "mail/Psock.h"
#include "mail/Submission.h"

namespace velk {

class TNMSMTP : public TPowersock {
    Q_OBJECT
public:
    explicit TNMSMTP(QObject* owner = nullptr);

    TPostMessage& PostMessage() { return postMessage_; }
    const TPostMessage& PostMessage() const { return postMessage_; }
    // Header lines of the message last built by SendMail.
    const TExStringList& FinalHeader() const { return finalHeader_; }

    // The HELO argument; the machine's host name unless set.
    QString UserID() const { return userId_; }
    void SetUserID(const QString& userId) { userId_ = userId; }
    UUMethods EncodeType() const { return encodeType_; }
    void SetEncodeType(UUMethods encodeType) { encodeType_ = encodeType; }
    // Whether a sent mail empties the recipient lists and attachments.
    bool ClearParams() const { return clearParams_; }
    void SetClearParams(bool clear) { clearParams_ = clear; }
    TSubType SubType() const { return subType_; }
    void SetSubType(TSubType subType) { subType_ = subType; }
    QString Charset() const { return charset_; }
    void SetCharset(const QString& charset) { charset_ = charset; }
    // Port, TLS and login. Without TLS and login the dialogue is the plain one with HELO;
    // otherwise EHLO, with STARTTLS and EHLO again where asked, then AUTH.
    TMailSubmission Submission() const;
    void SetSubmission(const TMailSubmission& submission);
    // The login's password, kept for the connections to come; no message ever shows it.
    void SetPassword(const QString& password) { password_ = password; }
    // True while a Connect or SendMail of this client is running.
    bool Busy() const { return busy_; }

    // Told the entry of each recipient the server refuses.
    std::function<void(const QString&)> OnRecipientNotFound;

    void Connect() override;
    // Sends QUIT and closes; after the server hung up or a mail failed it only closes, quietly.
    void Disconnect() override;
    void Abort() override;
    // Sends the message; returns at once without sending while the client is busy.
    void SendMail();

private:
    class BusyMark;

    void BuildMessage();
    // EHLO, whose reply lists what the server offers.
    void Ehlo();
    // AUTH PLAIN, else AUTH LOGIN, as the last EHLO reply offers them; over TLS only.
    void Login();
    // Whether the last reply refuses: a code above `limit`, or no reply code at all.
    bool Refused(int limit) const;
    // A transaction whose refusal raises the reply line.
    void Command(const QByteArray& command, int limit);

    TPostMessage postMessage_;
    TExStringList finalHeader_;
    QByteArray body_;
    QString userId_;
    UUMethods encodeType_ = UUMethods::uuMime;
    bool clearParams_ = true;
    TSubType subType_ = TSubType::mtPlain;
    QString charset_ = QStringLiteral("us-ascii");
    TMailSubmission submission_;
    QString password_;
    bool busy_ = false;
    bool mailFailed_ = false; // the last SendMail raised: the dialogue is out of step
};

} // namespace velk
