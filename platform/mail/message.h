#pragma once
// Building blocks of one mail: the argument forms of the mail functions (server, recipients,
// sender), the character set of a Japanese mail and its encoded headers and body.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace mail {

enum class Charset { Iso2022Jp, Utf8 };

// "host" or "host TAB port". Fails on an empty or malformed host or a port outside 1..65535.
struct Server {
  QByteArray host;  // ready for a URL
  int port = 0;
};
bool ParseServer(const QString& text, int defaultPort, Server* out, QString* error);

// Recipients separated by TAB; blanks around each address and empty pieces are dropped. Fails
// when none is left or an address could carry a command or header of its own.
bool ParseRecipients(const QString& text, QList<QByteArray>* out, QString* error);

// "name<address>", optionally followed by TAB "id:password" and TAB "LOGIN", "CRAM-MD5" or
// "PLAIN". A text without "<" is a bare address.
struct Sender {
  QString name;
  QByteArray address;
  bool authenticate = false;
  QString user;
  QString password;
  QByteArray method;  // empty: any method the server offers
};
bool ParseSender(const QString& text, Sender* out, QString* error);

// An address that may go into MAIL FROM, RCPT TO and the headers: printable ASCII with no
// blanks, no brackets and no separators, exactly one "@" not at either end.
bool IsPlainAddress(const QByteArray& address);

// ISO-2022-JP through glibc, ending in ASCII. False when some character has no place in it
// (① ㈱ 髙 ～ and half-width kana among them).
bool ToIso2022Jp(const QString& text, QByteArray* out);

// ISO-2022-JP when every text fits, else UTF-8.
Charset ChooseCharset(const QStringList& texts);

// A header value on one line: line breaks, tabs and other control characters become blanks.
QString OneLine(const QString& value);

// The value as RFC 2047 "B" words, folded so that no line passes 76 octets. `used` is the
// length of what stands before it on the first line ("Subject: " is 9).
QByteArray EncodedWords(const QString& value, Charset charset, int used);

// Header lines, each without its final CR LF (folded lines inside are joined by CR LF blank).
QByteArray SubjectHeader(const QString& subject, Charset charset);
QByteArray FromHeader(const QString& name, const QByteArray& address, Charset charset);
QByteArray ToHeader(const QList<QByteArray>& addresses);
QByteArray DateHeader();
QByteArray MessageIdHeader(const QByteArray& senderAddress);

// The body with every line break as CR LF and a final CR LF, in the mail's character set, and
// how it travels: 7bit for ISO-2022-JP whose lines all stay within 998 octets, else base64.
struct Body {
  QByteArray bytes;           // the text in its character set, not yet transfer-encoded
  QByteArray contentType;     // "text/plain; charset=..."
  QByteArray transferEncoding;  // "7bit" or "base64"
};
Body MakeBody(const QString& text, Charset charset);

// Base64 in lines of 76 characters, each ended by CR LF.
QByteArray Base64Lines(const QByteArray& data);

// MIME type of an attachment by its file name.
QByteArray MimeTypeOf(const QString& fileName);

}  // namespace mail
