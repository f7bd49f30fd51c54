#include "message.h"

#include <iconv.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include "curl_call.h"

namespace mail {
namespace {

bool IsPrintableAscii(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  return true;
}

// The text split into whole characters (a surrogate pair stays together).
QStringList Characters(const QString& text) {
  QStringList out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    out.append(text.mid(i, n));
    i += n - 1;
  }
  return out;
}

QByteArray RawBytes(const QString& text, Charset charset) {
  if (charset == Charset::Utf8) return text.toUtf8();
  QByteArray out;
  ToIso2022Jp(text, &out);
  return out;
}

qsizetype Base64Length(qsizetype raw) { return (raw + 2) / 3 * 4; }

}  // namespace

bool ParseServer(const QString& text, int defaultPort, Server* out, QString* error) {
  const QStringList parts = text.split(QLatin1Char('\t'));
  if (!curlcall::UrlHost(parts.at(0), &out->host)) {
    *error = QStringLiteral("invalid server host \"%1\"").arg(OneLine(parts.at(0)));
    return false;
  }
  out->port = defaultPort;
  const QString portText = parts.value(1).trimmed();
  if (!portText.isEmpty()) {
    bool ok = false;
    out->port = portText.toInt(&ok);
    if (!ok) out->port = 0;
  }
  if (out->port < 1 || out->port > 65535) {
    *error = QStringLiteral("invalid server port \"%1\"").arg(OneLine(portText));
    return false;
  }
  return true;
}

bool IsPlainAddress(const QByteArray& address) {
  const qsizetype at = address.indexOf('@');
  if (at <= 0 || at == address.size() - 1 || address.indexOf('@', at + 1) >= 0) return false;
  for (const char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || QByteArrayView("<>()[],;:\\\"").contains(c)) return false;
  }
  return true;
}

bool ParseRecipients(const QString& text, QList<QByteArray>* out, QString* error) {
  out->clear();
  for (const QString& piece : text.split(QLatin1Char('\t'))) {
    const QString address = piece.trimmed();
    if (address.isEmpty()) continue;
    const QByteArray bytes = address.toUtf8();
    if (!IsPlainAddress(bytes)) {
      *error = QStringLiteral("invalid recipient address \"%1\"").arg(OneLine(address));
      return false;
    }
    out->append(bytes);
  }
  if (out->isEmpty()) {
    *error = QStringLiteral("no recipient");
    return false;
  }
  return true;
}

bool ParseSender(const QString& text, Sender* out, QString* error) {
  const QStringList parts = text.split(QLatin1Char('\t'));
  const QString& first = parts.at(0);
  const qsizetype lt = first.indexOf(QLatin1Char('<'));
  QString address;
  if (lt < 0) {
    address = first.trimmed();
  } else {
    const qsizetype gt = first.indexOf(QLatin1Char('>'), lt);
    if (gt < 0 || !first.mid(gt + 1).trimmed().isEmpty()) {
      *error = QStringLiteral("malformed sender \"%1\"").arg(OneLine(first));
      return false;
    }
    out->name = first.left(lt).trimmed();
    address = first.mid(lt + 1, gt - lt - 1).trimmed();
  }
  out->address = address.toUtf8();
  if (!IsPlainAddress(out->address)) {
    *error = QStringLiteral("invalid sender address \"%1\"").arg(OneLine(address));
    return false;
  }
  const QString credentials = parts.value(1);
  out->authenticate = !credentials.isEmpty();
  if (out->authenticate) {
    const qsizetype colon = credentials.indexOf(QLatin1Char(':'));
    out->user = colon < 0 ? credentials : credentials.left(colon);
    out->password = colon < 0 ? QString() : credentials.mid(colon + 1);
    out->method = parts.value(2).trimmed().toUpper().toLatin1();
    if (!out->method.isEmpty() && out->method != "LOGIN" && out->method != "PLAIN" &&
        out->method != "CRAM-MD5") {
      *error = QStringLiteral("unknown authentication method \"%1\"").arg(OneLine(parts.value(2)));
      return false;
    }
  }
  return true;
}

bool ToIso2022Jp(const QString& text, QByteArray* out) {
  out->clear();
  iconv_t cd = iconv_open("ISO-2022-JP", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  QByteArray in = text.toUtf8();
  char* src = in.data();
  size_t srcLeft = size_t(in.size());
  QByteArray buffer(in.size() * 2 + 16, '\0');
  bool ok = true;
  bool flushing = false;
  size_t used = 0;
  for (;;) {
    char* dst = buffer.data() + used;
    size_t dstLeft = size_t(buffer.size()) - used;
    // The last call, without input, writes the shift back to ASCII.
    const size_t r = flushing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                              : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    used = size_t(buffer.size()) - dstLeft;
    if (r != size_t(-1)) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    if (errno == E2BIG) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    ok = false;
    break;
  }
  iconv_close(cd);
  if (ok) *out = buffer.left(qsizetype(used));
  return ok;
}

Charset ChooseCharset(const QStringList& texts) {
  QByteArray ignored;
  for (const QString& text : texts)
    if (!ToIso2022Jp(text, &ignored)) return Charset::Utf8;
  return Charset::Iso2022Jp;
}

QString OneLine(const QString& value) {
  QString out = value;
  for (QChar& c : out)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator)
      c = QLatin1Char(' ');
  return out;
}

QByteArray EncodedWords(const QString& value, Charset charset, int used) {
  const QByteArray prefix = charset == Charset::Iso2022Jp ? "=?ISO-2022-JP?B?" : "=?UTF-8?B?";
  const qsizetype overhead = prefix.size() + 2;  // and the closing "?="
  constexpr qsizetype kMaxLine = 76;
  QByteArray result;
  QString chunk;
  auto flush = [&] {
    if (!result.isEmpty()) result += "\r\n ";
    result += prefix + RawBytes(chunk, charset).toBase64() + "?=";
    chunk.clear();
  };
  for (const QString& character : Characters(value)) {
    const qsizetype room = kMaxLine - (result.isEmpty() ? used : 1) - overhead;
    if (!chunk.isEmpty() &&
        Base64Length(RawBytes(chunk + character, charset).size()) > room)
      flush();
    chunk += character;
  }
  if (!chunk.isEmpty()) flush();
  return result;
}

QByteArray SubjectHeader(const QString& subject, Charset charset) {
  const QString line = OneLine(subject);
  if (IsPrintableAscii(line) && !line.contains(QStringLiteral("=?")) && line.size() < 900)
    return "Subject: " + line.toLatin1();
  return "Subject: " + EncodedWords(line, charset, 9);
}

QByteArray FromHeader(const QString& name, const QByteArray& address, Charset charset) {
  const QString line = OneLine(name).trimmed();
  if (line.isEmpty()) return "From: " + address;
  QByteArray shown;
  if (IsPrintableAscii(line) && !line.contains(QStringLiteral("=?"))) {
    shown = "\"";
    for (const QChar c : line) {
      if (c == QLatin1Char('"') || c == QLatin1Char('\\')) shown += '\\';
      shown += char(c.unicode());
    }
    shown += "\"";
  } else {
    shown = EncodedWords(line, charset, 6);
  }
  const qsizetype lastBreak = shown.lastIndexOf('\n');
  const qsizetype lastLine = lastBreak < 0 ? 6 + shown.size() : shown.size() - lastBreak - 1;
  const bool fold = lastLine + 3 + address.size() > 76;
  return "From: " + shown + (fold ? "\r\n <" : " <") + address + ">";
}

QByteArray ToHeader(const QList<QByteArray>& addresses) {
  return "To: " + addresses.join(",\r\n ");
}

QByteArray DateHeader() {
  return "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1();
}

QByteArray MessageIdHeader(const QByteArray& senderAddress) {
  const qsizetype at = senderAddress.indexOf('@');
  const QByteArray domain = at < 0 ? QByteArray("localhost") : senderAddress.mid(at + 1);
  const QByteArray stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz")).toLatin1();
  const QByteArray random = QByteArray::number(QRandomGenerator::global()->generate64(), 36);
  return "Message-ID: <" + stamp + '.' + random + '@' + domain + '>';
}

Body MakeBody(const QString& text, Charset charset) {
  QString normalised = text;
  normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (!normalised.isEmpty() && !normalised.endsWith(QLatin1Char('\n')))
    normalised += QLatin1Char('\n');
  normalised.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  Body body;
  if (charset == Charset::Iso2022Jp && ToIso2022Jp(normalised, &body.bytes)) {
    body.contentType = "text/plain; charset=ISO-2022-JP";
    body.transferEncoding = "7bit";
    for (const QByteArray& line : body.bytes.split('\n'))
      if (line.size() > 998) body.transferEncoding = "base64";
    return body;
  }
  body.bytes = normalised.toUtf8();
  body.contentType = "text/plain; charset=UTF-8";
  body.transferEncoding = "base64";
  return body;
}

QByteArray Base64Lines(const QByteArray& data) {
  const QByteArray encoded = data.toBase64();
  QByteArray out;
  out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
  for (qsizetype i = 0; i < encoded.size(); i += 76) out += encoded.mid(i, 76) + "\r\n";
  return out;
}

QByteArray MimeTypeOf(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) return "image/jpeg";
  if (suffix == QLatin1String("png")) return "image/png";
  if (suffix == QLatin1String("gif")) return "image/gif";
  if (suffix == QLatin1String("bmp")) return "image/bmp";
  if (suffix == QLatin1String("txt")) return "text/plain";
  if (suffix == QLatin1String("csv")) return "text/csv";
  if (suffix == QLatin1String("pdf")) return "application/pdf";
  return "application/octet-stream";
}

}  // namespace mail
