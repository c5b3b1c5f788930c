#include "mail/NMsmtp.h"

#include <algorithm>
#include <exception>

#include <QHostInfo>

#include "mail/MailText.h"
#include "mail/ReplyReader.h"

namespace velk {

// Sets the busy flag for one call and clears it on every exit, unless an outer call had set
// it already.
class TNMSMTP::BusyMark {
public:
    explicit BusyMark(bool& busy) : busy_(busy), owner_(!busy) { busy_ = true; }
    ~BusyMark() {
        if (owner_) busy_ = false;
    }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

private:
    bool& busy_;
    bool owner_;
};

TNMSMTP::TNMSMTP(QObject* owner) : TPowersock(owner), userId_(QHostInfo::localHostName()) {}

bool TNMSMTP::Refused(int limit) const {
    // A line without a code reads as code 0, below every limit: taken as success, a peer of
    // another protocol answering "-ERR" would swallow the mail. An empty line is the server
    // hanging up, which each step meets in its own way.
    return ReplyNumber() > limit || (!ReplyLine().isEmpty() && !HasReplyCode(ReplyLine()));
}

void TNMSMTP::Command(const QByteArray& command, int limit) {
    Transaction(command);
    if (Refused(limit)) throw Exception(ReplyText());
}

void TNMSMTP::Connect() {
    BusyMark mark(busy_);
    TPowersock::Connect();
    mailFailed_ = false;
    try {
        const TMailSecurity security = submission_.Security;
        if (security == TMailSecurity::Tls) StartTls(submission_.CAFile);
        ReadReply();
        if (Refused(399)) throw Exception(ReplyText());
        if (security == TMailSecurity::None && submission_.UserName.isEmpty()) {
            if (Transaction("HELO " + userId_.toUtf8()) > 299)
                throw Exception(QStringLiteral("Authentication failed"));
            if (Refused(299)) throw Exception(ReplyText());
        } else {
            Ehlo();
            if (security == TMailSecurity::StartTls) {
                // Asked for TLS, the client never carries on in plain text.
                if (!EhloKeyword(ReplyLines(), "STARTTLS"))
                    throw Exception(QStringLiteral("the server offers no STARTTLS"));
                Command("STARTTLS", 299);
                StartTls(submission_.CAFile);
                Ehlo(); // what the server offered in plain text may have been forged
            }
            if (!submission_.UserName.isEmpty()) Login();
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // The first failure is the one to report; QUIT failing as well tells nothing new.
        try {
            Disconnect();
        } catch (...) {
        }
        std::rethrow_exception(failure);
    }
}

TMailSubmission TNMSMTP::Submission() const {
    TMailSubmission submission = submission_;
    submission.Port = Port();
    return submission;
}

void TNMSMTP::SetSubmission(const TMailSubmission& submission) {
    SetPort(submission.Port);
    submission_ = submission;
}

void TNMSMTP::Ehlo() {
    Command("EHLO " + userId_.toUtf8(), 299);
}

void TNMSMTP::Login() {
    // A password in plain text is a password given away.
    if (!Encrypted())
        throw Exception(QStringLiteral("A login needs TLS: set the security to STARTTLS or TLS"));
    const QByteArrayList mechanisms = EhloKeyword(ReplyLines(), "AUTH").value_or(QByteArrayList());
    const auto offered = [&mechanisms](const char* name) {
        return std::any_of(mechanisms.begin(), mechanisms.end(), [name](const QByteArray& m) {
            return m.compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    const QByteArray user = submission_.UserName.toUtf8();
    const QByteArray password = password_.toUtf8();
    if (offered("PLAIN")) {
        Command("AUTH PLAIN " + (QByteArray(1, '\0') + user + '\0' + password).toBase64(), 299);
    } else if (offered("LOGIN")) {
        // Each step answers 334 with the next question; a refusal is 4xx or 5xx.
        Command("AUTH LOGIN", 399);
        Command(user.toBase64(), 399);
        Command(password.toBase64(), 299);
    } else {
        throw Exception(QStringLiteral("the server offers no AUTH PLAIN or AUTH LOGIN"));
    }
}

void TNMSMTP::Disconnect() {
    // After the server has hung up there is nobody to say QUIT to, and after a failed mail
    // the dialogue may stand anywhere, even inside the data, where QUIT would be taken as
    // text: the socket is closed quietly, so a caller can always disconnect after a failure.
    if (!Connected() || mailFailed_) {
        mailFailed_ = false;
        TPowersock::Disconnect();
        return;
    }
    try {
        Transaction("QUIT");
    } catch (...) {
        TPowersock::Disconnect();
        throw;
    }
    TPowersock::Disconnect();
    if (ReplyNumber() > 339) throw Exception(ReplyText());
}

void TNMSMTP::Abort() {
    TPowersock::Abort();
}

void TNMSMTP::BuildMessage() {
    body_ = BuildBody(postMessage_.Body);
    finalHeader_ = BuildHeader(postMessage_, subType_, charset_, HasEightBitBytes(body_));
}

void TNMSMTP::SendMail() {
    if (busy_) return;
    BusyMark mark(busy_);
    mailFailed_ = true; // until the server has taken the mail
    BuildMessage();
    if (!Connected()) throw Exception(QStringLiteral("Not Connected"));
    const TPostMessage& m = postMessage_;
    if (m.FromAddress.isEmpty() ||
        (m.ToAddress.isEmpty() && m.ToCarbonCopy.isEmpty() && m.ToBlindCarbonCopy.isEmpty()))
        throw Exception(QStringLiteral("Incomplete Header"));
    for (const QString& line : finalHeader_)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            throw Exception(QStringLiteral("Line break in header line: ") + line.simplified());

    Command("RSET", 399);
    Command("MAIL FROM:<" + m.FromAddress.toUtf8() + ">", 399);
    for (const QStringList* list : {&m.ToAddress, &m.ToCarbonCopy, &m.ToBlindCarbonCopy}) {
        for (const QString& entry : *list) {
            const QString address = ExtractAddress(entry);
            if (address.isEmpty()) continue;
            // A refused recipient is skipped; the others still get the mail.
            Transaction("RCPT TO:<" + address.toUtf8() + ">");
            if (Refused(300) && OnRecipientNotFound) OnRecipientNotFound(entry);
        }
    }
    Command("DATA", 399);

    QByteArray header;
    for (const QString& line : finalHeader_)
        header += line.toUtf8() + "\r\n";
    header += "\r\n\r\n";
    WriteBytes(header);
    WriteBytes(body_);

    Command(".", 399);
    // Only a reply proves the server took the mail; a connection closed instead lost it.
    if (ReplyLine().isEmpty())
        throw Exception(
            QStringLiteral("Connection closed by the server before the mail was accepted"));

    mailFailed_ = false;
    if (clearParams_) {
        postMessage_.ToAddress.clear();
        postMessage_.ToCarbonCopy.clear();
        postMessage_.ToBlindCarbonCopy.clear();
        postMessage_.Attachments.clear();
    }
}

} // namespace velk
