#include "codepage.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace cp {
namespace {

// One iconv descriptor per direction; iconv descriptors are not thread-safe, so each use locks.
struct Converter {
  iconv_t cd;
  std::mutex lock;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

Converter& ToCp() {
  static Converter c("CP932", "UTF-8");
  return c;
}
Converter& FromCp() {
  static Converter c("UTF-8", "CP932");
  return c;
}

// Converts one UTF-8 encoded character (or a run) to CP932; returns false when it cannot.
bool ConvertChunk(Converter& c, const QByteArray& in, QByteArray& out) {
  char* inp = const_cast<char*>(in.constData());
  size_t inLeft = static_cast<size_t>(in.size());
  char buf[64];
  QByteArray result;
  while (inLeft > 0) {
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(c.cd, &inp, &inLeft, &outp, &outLeft);
    result.append(buf, static_cast<int>(outp - buf));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
      return false;
    }
  }
  char* outp = buf;
  size_t outLeft = sizeof buf;
  iconv(c.cd, nullptr, nullptr, &outp, &outLeft);  // flush the shift state
  result.append(buf, static_cast<int>(outp - buf));
  out.append(result);
  return true;
}

}  // namespace

bool ToAnsi(const QString& text, QByteArray& out) {
  out.clear();
  Converter& c = ToCp();
  std::lock_guard<std::mutex> guard(c.lock);
  QByteArray whole = text.toUtf8();
  if (ConvertChunk(c, whole, out)) return true;
  // Slow path: convert character by character so that only the unfit ones become '?'.
  out.clear();
  bool ok = true;
  for (int i = 0; i < text.size(); ++i) {
    int len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    QByteArray piece = text.mid(i, len).toUtf8();
    if (!ConvertChunk(c, piece, out)) {
      out.append('?');
      ok = false;
    }
    i += len - 1;
  }
  return ok;
}

QByteArray ToAnsiLossy(const QString& text) {
  QByteArray out;
  ToAnsi(text, out);
  return out;
}

bool FitsAnsi(const QString& text) {
  QByteArray out;
  return ToAnsi(text, out);
}

QString FromAnsi(const QByteArray& bytes) {
  Converter& c = FromCp();
  std::lock_guard<std::mutex> guard(c.lock);
  QByteArray result;
  result.reserve(bytes.size() * 3 / 2 + 8);
  char* inp = const_cast<char*>(bytes.constData());
  size_t inLeft = static_cast<size_t>(bytes.size());
  char buf[256];
  while (inLeft > 0) {
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(c.cd, &inp, &inLeft, &outp, &outLeft);
    result.append(buf, static_cast<int>(outp - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (cut-off two-byte character): replace one byte and go on.
      result.append("\xEF\xBF\xBD");
      ++inp;
      --inLeft;
      iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return QString::fromUtf8(result);
}

int AnsiLength(const QString& text) { return ToAnsiLossy(text).size(); }

QByteArray CutAnsi(const QByteArray& bytes, int maxBytes) {
  if (bytes.size() <= maxBytes) return bytes;
  int i = 0;
  while (i < maxBytes) {
    int step = IsLeadByte(static_cast<unsigned char>(bytes.at(i))) ? 2 : 1;
    if (i + step > maxBytes) break;
    i += step;
  }
  return bytes.left(i);
}

}  // namespace cp
