#include "mail/MailText.h"

#include <QRegularExpression>
#include <QUuid>

namespace velk {

QString ExtractAddress(const QString& entry) {
    const qsizetype open = entry.indexOf(QLatin1Char('<'));
    if (open >= 0) {
        const qsizetype close = entry.indexOf(QLatin1Char('>'), open + 1);
        return close < 0 ? entry.mid(open + 1) : entry.mid(open + 1, close - open - 1);
    }
    const qsizetype colon = entry.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const qsizetype next = entry.indexOf(QLatin1Char(':'), colon + 1);
        return next < 0 ? entry.mid(colon + 1) : entry.mid(colon + 1, next - colon - 1);
    }
    return entry;
}

void AddressMessage(TPostMessage& message, const QString& addresses) {
    QStringList list;
    for (const QString& entry : addresses.split(QRegularExpression(QStringLiteral("[,;]"))))
        if (!entry.trimmed().isEmpty()) list << entry.trimmed();
    message.ToAddress = list;
    message.FromAddress = message.ReplyTo = list.value(0);
}

void SetHeaderByName(QStringList& header, const QString& name, const QString& value) {
    for (qsizetype i = 0; i < header.size(); ++i) {
        const qsizetype colon = header.at(i).indexOf(QLatin1Char(':'));
        if (colon < 0 || header.at(i).left(colon).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (value.isEmpty())
            header.removeAt(i);
        else
            header[i] = name + QStringLiteral(": ") + value;
        return;
    }
    if (!value.isEmpty()) header.append(name + QStringLiteral(": ") + value);
}

QString MailDateText(const QDateTime& when) {
    return when.toString(Qt::RFC2822Date);
}

QString NewMessageID(const QString& host) {
    // A random UUID: unique across mails, runs and machines without any state kept.
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) +
           QLatin1Char('@') + (host.isEmpty() ? QStringLiteral("localhost") : host) +
           QLatin1Char('>');
}

QString ContentTypePrefix(TSubType subType) {
    switch (subType) {
    case TSubType::mtPlain:
        return QStringLiteral("Content-Type: text/plain; charset=");
    case TSubType::mtEnriched:
        return QStringLiteral("Content-Type: text/enriched; charset=");
    case TSubType::mtSgml:
        return QStringLiteral("Content-Type: text/sgml; charset=");
    case TSubType::mtTabSeperated:
        return QStringLiteral("Content-Type: text/tab-separated-values; charset=");
    case TSubType::mtHtml:
        return QStringLiteral("Content-Type: text/html; charset=");
    }
    return QStringLiteral("Content-Type: text/plain; charset=");
}

QStringList BuildHeader(const TPostMessage& message, TSubType subType, const QString& charset,
                        bool eightBitBody) {
    QStringList header;
    header.append(QStringLiteral("From: ") + message.FromName + QLatin1Char('<') +
                  message.FromAddress + QLatin1Char('>'));
    if (!message.ToAddress.isEmpty())
        header.append(QStringLiteral("To: ") + message.ToAddress.join(QLatin1Char(',')));
    if (!message.ToCarbonCopy.isEmpty())
        header.append(QStringLiteral("CC: ") + message.ToCarbonCopy.join(QLatin1Char(',')));
    SetHeaderByName(header, QStringLiteral("Subject"), message.Subject);
    SetHeaderByName(header, QStringLiteral("X-Mailer"), message.LocalProgram);
    SetHeaderByName(header, QStringLiteral("Reply-To"), message.ReplyTo);
    SetHeaderByName(header, QStringLiteral("Date"), message.Date);
    SetHeaderByName(header, QStringLiteral("Message-ID"), message.MessageID);
    header.append(QStringLiteral("Mime-Version: 1.0"));
    // The body is always sent as UTF-8; a us-ascii label on 8-bit bytes would make every
    // reader show "Â°C" for "°C".
    const bool relabel =
        eightBitBody && charset.compare(QStringLiteral("us-ascii"), Qt::CaseInsensitive) == 0;
    header.append(ContentTypePrefix(subType) + (relabel ? QStringLiteral("utf-8") : charset));
    // Without it a reader may take the body for 7-bit text and mangle its 8-bit bytes.
    if (eightBitBody) header.append(QStringLiteral("Content-Transfer-Encoding: 8bit"));
    return header;
}

QByteArray BuildBody(const QStringList& lines) {
    static const QRegularExpression kLineBreak(QStringLiteral("\r\n|\r|\n"));
    QByteArray body;
    for (const QString& entry : lines) {
        for (const QString& line : entry.split(kLineBreak)) {
            if (line.startsWith(QLatin1Char('.'))) body.append('.');
            body.append(line.toUtf8());
            body.append("\r\n");
        }
    }
    return body;
}

bool HasEightBitBytes(const QByteArray& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

} // namespace velk
