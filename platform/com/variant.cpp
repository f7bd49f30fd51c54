#include "com/variant.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace com {

// A BSTR is one C-heap block: [uint32 byte length][units...][0].
BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length) {
  if (length > (std::numeric_limits<std::uint32_t>::max() - 8) / 2) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(std::uint32_t) + (length + 1) * 2u));
  if (!block) return nullptr;
  const std::uint32_t bytes = length * 2u;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* units = reinterpret_cast<char16_t*>(block + sizeof(std::uint32_t));
  if (text && length) std::memcpy(units, text, length * 2u);
  else if (length) std::memset(units, 0, length * 2u);
  units[length] = 0;
  return units;
}

BSTR SysAllocString(const QString& text) {
  return SysAllocStringLen(reinterpret_cast<const char16_t*>(text.utf16()),
                           static_cast<std::uint32_t>(text.size()));
}

void SysFreeString(BSTR s) {
  if (s) std::free(reinterpret_cast<unsigned char*>(s) - sizeof(std::uint32_t));
}

std::uint32_t SysStringLen(const char16_t* s) {
  if (!s) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(s) - sizeof(std::uint32_t), sizeof bytes);
  return bytes / 2u;
}

QString BstrToQString(const char16_t* s) {
  if (!s) return QString();
  return QString(reinterpret_cast<const QChar*>(s), static_cast<qsizetype>(SysStringLen(s)));
}

Variant::Variant(const QString& v) : vt_(VT_BSTR), count_(0), r8_(0) { bstr_ = SysAllocString(v); }

Variant::Variant(const char16_t* v) : vt_(VT_BSTR), count_(0), r8_(0) {
  std::uint32_t n = 0;
  if (v)
    while (v[n]) ++n;
  bstr_ = SysAllocStringLen(v, n);
}

Variant Variant::Bool(bool v) {
  Variant r;
  r.vt_ = VT_BOOL;
  r.bool_ = v ? VARIANT_TRUE : VARIANT_FALSE;
  return r;
}

Variant Variant::Byte(std::uint8_t v) {
  Variant r;
  r.vt_ = VT_UI1;
  r.ui1_ = v;
  return r;
}

Variant Variant::MakeRef(VarType base, void* p, std::uint32_t count) {
  Variant r;
  r.vt_ = static_cast<VarType>(base | VT_BYREF);
  r.ref_ = p;
  r.count_ = p ? count : 0;
  return r;
}

Variant Variant::AttachBstr(BSTR s) {
  Variant r;
  r.vt_ = VT_BSTR;
  r.bstr_ = s;
  return r;
}

Variant::Variant(const Variant& other) : vt_(other.vt_), count_(other.count_), r8_(other.r8_) {
  if (vt_ == VT_BSTR) bstr_ = SysAllocStringLen(other.bstr_, SysStringLen(other.bstr_));
}

Variant::Variant(Variant&& other) noexcept : vt_(other.vt_), count_(other.count_), r8_(other.r8_) {
  other.vt_ = VT_EMPTY;
  other.r8_ = 0;
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    Clear();
    vt_ = other.vt_;
    count_ = other.count_;
    r8_ = other.r8_;
    other.vt_ = VT_EMPTY;
    other.r8_ = 0;
  }
  return *this;
}

void Variant::Clear() noexcept {
  if (vt_ == VT_BSTR) SysFreeString(bstr_);
  vt_ = VT_EMPTY;
  count_ = 0;
  r8_ = 0;
}

QString Variant::ToQString() const { return vt_ == VT_BSTR ? BstrToQString(bstr_) : QString(); }

namespace {

// Rounds half to even, as the automation coercions do ("2.5" -> 2, "3.5" -> 4).
double RoundEven(double v) {
  const int old = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(v);
  std::fesetround(old);
  return r;
}

// A text read as a number: optional blanks, sign, digits, a decimal point, an exponent; nothing
// else. "True" and "False" (any case) are -1 and 0.
bool ParseNumber(const QString& text, double& out) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return false;
  if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) { out = -1; return true; }
  if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) { out = 0; return true; }
  const QByteArray latin = t.toLatin1();
  for (char c : latin)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
      return false;
  bool ok = false;
  out = t.toDouble(&ok);  // always the C notation, whatever the process locale
  return ok && std::isfinite(out);
}

// The value of a scalar source as a double; false when it has none (texts that are no number,
// null, unknown types).
HRESULT ToDouble(const Variant& in, double& out) {
  switch (in.Type()) {
    case VT_EMPTY: out = 0; return S_OK;
    case VT_I2: out = in.I2(); return S_OK;
    case VT_I4: out = in.I4(); return S_OK;
    case VT_R4: out = in.R4(); return S_OK;
    case VT_R8: out = in.R8(); return S_OK;
    case VT_BOOL: out = in.Boolean() ? -1 : 0; return S_OK;
    case VT_UI1: out = in.UI1(); return S_OK;
    case VT_BSTR: return ParseNumber(in.ToQString(), out) ? S_OK : DISP_E_TYPEMISMATCH;
    default: return DISP_E_TYPEMISMATCH;
  }
}

// Reads a by-reference source into a by-value one.
HRESULT Deref(const Variant& in, Variant& out) {
  if (!in.IsByRef()) {
    out = in;
    return S_OK;
  }
  if (!in.RefPointer()) return DISP_E_TYPEMISMATCH;
  switch (in.BaseType()) {
    case VT_I2: out = Variant(*in.RefAs<std::int16_t>()); return S_OK;
    case VT_I4: out = Variant(*in.RefAs<std::int32_t>()); return S_OK;
    case VT_R4: out = Variant(*in.RefAs<float>()); return S_OK;
    case VT_R8: out = Variant(*in.RefAs<double>()); return S_OK;
    case VT_UI1: out = Variant::Byte(*in.RefAs<std::uint8_t>()); return S_OK;
    case VT_BOOL: out = Variant::Bool(*in.RefAs<VariantBool>() != 0); return S_OK;
    case VT_VARIANT: {
      const Variant& inner = *in.RefAs<Variant>();
      if (inner.IsByRef()) return DISP_E_TYPEMISMATCH;  // one level of indirection only
      out = inner;
      return S_OK;
    }
    default: return DISP_E_BADVARTYPE;
  }
}

QString NumberText(const Variant& v) {
  switch (v.Type()) {
    case VT_I2: return QString::number(v.I2());
    case VT_I4: return QString::number(v.I4());
    case VT_UI1: return QString::number(v.UI1());
    case VT_R4: return QString::number(static_cast<double>(v.R4()), 'g', 7).toUpper();
    case VT_R8: return QString::number(v.R8(), 'g', 15).toUpper();
    default: return QString();
  }
}

}  // namespace

HRESULT ChangeType(Variant& out, const Variant& source, VarType to) {
  if (to == VT_VARIANT) {
    out = source;
    return S_OK;
  }
  Variant in;
  if (HRESULT hr = Deref(source, in); Failed(hr)) return hr;
  if (in.Type() == to) {
    out = std::move(in);
    return S_OK;
  }
  if (to == VT_BSTR) {
    switch (in.Type()) {
      case VT_EMPTY: out = Variant(QString()); return S_OK;
      case VT_BOOL: out = Variant(QString::fromLatin1(in.Boolean() ? "True" : "False")); return S_OK;
      case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_UI1:
        out = Variant(NumberText(in));
        return S_OK;
      default: return DISP_E_TYPEMISMATCH;
    }
  }
  double d = 0;
  if (HRESULT hr = ToDouble(in, d); Failed(hr)) return hr;
  switch (to) {
    case VT_BOOL: out = Variant::Bool(d != 0); return S_OK;
    case VT_R8: out = Variant(d); return S_OK;
    case VT_R4:
      if (std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out = Variant(static_cast<float>(d));
      return S_OK;
    case VT_I2: case VT_I4: case VT_UI1: {
      const double r = RoundEven(d);
      const double lo = to == VT_I2 ? -32768.0 : to == VT_I4 ? -2147483648.0 : 0.0;
      const double hi = to == VT_I2 ? 32767.0 : to == VT_I4 ? 2147483647.0 : 255.0;
      if (!(r >= lo && r <= hi)) return DISP_E_OVERFLOW;
      if (to == VT_I2) out = Variant(static_cast<std::int16_t>(r));
      else if (to == VT_I4) out = Variant(static_cast<std::int32_t>(r));
      else out = Variant::Byte(static_cast<std::uint8_t>(r));
      return S_OK;
    }
    default: return DISP_E_BADVARTYPE;
  }
}

}  // namespace com
