#include "codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
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

// Appends the CP932 form of UTF-8 text (one character or a whole run) to `out`, converted
// straight into its end; returns false, `out` as it was, when a character has no CP932 form.
bool ConvertChunk(Converter& c, const QByteArray& in, QByteArray& out) {
  const qsizetype start = out.size();
  // CP932 never takes more bytes than UTF-8 for the same text; a little room for the shift flush.
  out.resize(start + in.size() + 16);
  char* inp = const_cast<char*>(in.constData());
  size_t inLeft = static_cast<size_t>(in.size());
  char* outp = out.data() + start;
  size_t outLeft = static_cast<size_t>(out.size() - start);
  auto grow = [&] {
    const qsizetype used = outp - out.data();
    out.resize(out.size() * 2 + 16);
    outp = out.data() + used;
    outLeft = static_cast<size_t>(out.size() - used);
  };
  while (inLeft > 0) {
    if (iconv(c.cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(start);
    return false;
  }
  // Flush the shift state.
  while (iconv(c.cd, nullptr, nullptr, &outp, &outLeft) == static_cast<size_t>(-1) && errno == E2BIG) grow();
  out.resize(outp - out.data());
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
  // Converted straight into the result, which grows when the text needs more (Japanese takes
  // 3 bytes of UTF-8 for 2 of CP932; a half-width kana or a replaced byte 3 for 1).
  QByteArray result(bytes.size() * 3 / 2 + 16, Qt::Uninitialized);
  char* inp = const_cast<char*>(bytes.constData());
  size_t inLeft = static_cast<size_t>(bytes.size());
  char* outp = result.data();
  size_t outLeft = static_cast<size_t>(result.size());
  while (inLeft > 0) {
    if (iconv(c.cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      const qsizetype used = outp - result.data();
      result.resize(result.size() * 2);
      outp = result.data() + used;
      outLeft = static_cast<size_t>(result.size() - used);
      continue;
    }
    // EILSEQ or EINVAL (cut-off two-byte character): replace one byte and go on.
    if (outLeft < 3) {
      const qsizetype used = outp - result.data();
      result.resize(result.size() + 16);
      outp = result.data() + used;
      outLeft = static_cast<size_t>(result.size() - used);
    }
    std::memcpy(outp, "\xEF\xBF\xBD", 3);
    outp += 3;
    outLeft -= 3;
    ++inp;
    --inLeft;
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
  }
  return QString::fromUtf8(result.constData(), outp - result.constData());
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
