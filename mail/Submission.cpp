#include "mail/Submission.h"

namespace velk {

QStringList MailSecurityNames() {
    return {QStringLiteral("none"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")};
}

QString MailSecurityName(TMailSecurity security) {
    return MailSecurityNames().at(static_cast<int>(security));
}

std::optional<TMailSecurity> MailSecurityFromName(const QString& name) {
    const QStringList names = MailSecurityNames();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return static_cast<TMailSecurity>(i);
    return std::nullopt;
}

} // namespace velk
