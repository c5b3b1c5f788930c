#pragma once
// The message the SMTP client sends: sender, recipients, header values and body lines.

#include <QString>
#include <QStringList>

namespace velk {

// Attachment encodings (attachments are never sent by this program).
enum class UUMethods { uuMime, uuCode };

// The text sub-type declared in the Content-Type line.
enum class TSubType { mtPlain, mtEnriched, mtSgml, mtTabSeperated, mtHtml };

// Header lines of the message being sent, in order.
using TExStringList = QStringList;

struct TPostMessage {
    QString FromAddress;
    QString FromName;
    QString Subject;
    QString LocalProgram;
    QString Date;
    QString MessageID; // "<unique@host>"
    QString ReplyTo;
    QStringList ToAddress;
    QStringList ToCarbonCopy;
    QStringList ToBlindCarbonCopy;
    QStringList Body;
    QStringList Attachments;
};

} // namespace velk
