#pragma once
// The texts the SMTP client sends, apart from the socket: recipient addresses, the header
// lines and the dot-stuffed body of a message.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "mail/PostMessage.h"

namespace velk {

// The mailbox of a recipient entry: between the first '<' and the next '>'; else between
// the first ':' and the next ':' (or the end); else the whole entry.
QString ExtractAddress(const QString& entry);

// Addresses `message` to each of `addresses`, separated by ',' or ';' (one address is the
// common case); the first is the sender and the reply address as well.
void AddressMessage(TPostMessage& message, const QString& addresses);

// Replaces the line "name: ..." (name compared without regard to case) by "name: value",
// or adds it; an empty value removes such a line.
void SetHeaderByName(QStringList& header, const QString& name, const QString& value);

// A Date header's value: "06 Dec 2026 10:00:05 +0100", with the time's offset from UTC.
QString MailDateText(const QDateTime& when);

// A Message-ID header's value that no other mail shares: "<unique part@host>".
QString NewMessageID(const QString& host);

// "Content-Type: text/...; charset=" for the sub-type.
QString ContentTypePrefix(TSubType subType);

// The header lines of `message`, in the order the server receives them. A body that is
// not plain 7-bit text is declared as UTF-8 even when `charset` says "us-ascii", and as
// 8bit content.
QStringList BuildHeader(const TPostMessage& message, TSubType subType, const QString& charset,
                        bool eightBitBody);

// The body as sent after DATA: every line in UTF-8 followed by CR LF, a leading '.' doubled.
// Line breaks inside an entry start new lines, so no entry can end the data early.
QByteArray BuildBody(const QStringList& lines);

// True when the text holds bytes outside 7-bit ASCII.
bool HasEightBitBytes(const QByteArray& text);

} // namespace velk
