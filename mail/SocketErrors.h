#pragma once
// The socket error numbers and texts the mail client reports, and the translation of the
// platform's errno values into that numbering.

#include <QString>

namespace velk {

// Text of a socket error number: the table's text, or "Unknown Error No. <n>".
QString SocketErrorText(int errorNumber);

// The message of a socket error: number, ':' and text ("10061:Connection refused").
QString SocketErrorMessage(int errorNumber);

// The socket error number of an errno value; an errno without a counterpart is returned
// unchanged (and then reads "Unknown Error No. ...").
int SocketErrorFromErrno(int errnoValue);

} // namespace velk
