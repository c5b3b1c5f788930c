#include "mail/Submission.h"

namespace velk {

QStringList MailSecurityNames() {
    return {QStringLiteral("none"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")};
}

} // namespace velk
