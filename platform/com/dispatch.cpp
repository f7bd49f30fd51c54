#include "com/dispatch.h"

#include <QRegularExpression>
#include <QStringList>

namespace com {

bool ParseTypeWord(const QString& text, ParamInfo& out) {
  static const QRegularExpression re(
      QStringLiteral("^(void|short|long|float|double|BSTR|VARIANT|VARIANT_BOOL|byte)"
                     "(\\*|\\[(\\d*)\\])?$"));
  const auto m = re.match(text.trimmed());
  if (!m.hasMatch()) return false;
  const QString base = m.captured(1);
  const QString suffix = m.captured(2);
  out = ParamInfo{};
  if (base == QLatin1String("void")) out.type = VT_EMPTY;
  else if (base == QLatin1String("short")) out.type = VT_I2;
  else if (base == QLatin1String("long")) out.type = VT_I4;
  else if (base == QLatin1String("float")) out.type = VT_R4;
  else if (base == QLatin1String("double")) out.type = VT_R8;
  else if (base == QLatin1String("BSTR")) out.type = VT_BSTR;
  else if (base == QLatin1String("VARIANT")) out.type = VT_VARIANT;
  else if (base == QLatin1String("VARIANT_BOOL")) out.type = VT_BOOL;
  else out.type = VT_UI1;
  if (suffix.startsWith(QLatin1Char('['))) {
    if (out.type != VT_I4 && out.type != VT_UI1) return false;
    out.byRef = true;
    out.bytes = out.type == VT_UI1;
    out.minCount = m.captured(3).isEmpty() ? 0u : m.captured(3).toUInt();
  } else if (suffix == QLatin1String("*")) {
    if (out.type == VT_EMPTY || out.type == VT_UI1 || out.type == VT_BSTR) return false;
    out.byRef = true;
  } else if (out.type == VT_UI1) {
    return false;  // bytes only as buffers
  }
  return true;
}

std::span<std::int32_t> Args::LongArray(std::size_t i) const {
  const Variant& v = values_[i];
  return {v.RefAs<std::int32_t>(), v.RefCount()};
}

std::span<std::uint8_t> Args::Bytes(std::size_t i) const {
  const Variant& v = values_[i];
  const std::size_t unit = v.BaseType() == VT_I4 ? 4 : 1;
  return {v.RefAs<std::uint8_t>(), std::size_t(v.RefCount()) * unit};
}

HRESULT Args::CheckReferences(std::uint32_t* argError) const {
  if (!member_) return S_OK;
  for (std::size_t i = 0; i < values_.size() && i < member_->params.size(); ++i) {
    const ParamInfo& p = member_->params[i];
    if (!p.byRef) continue;
    const Variant& v = values_[i];
    std::size_t have = v.RefCount();
    if (p.bytes && v.BaseType() == VT_I4) have *= 4;
    if (!v.RefPointer() || have < p.minCount || have == 0) {
      if (argError) *argError = static_cast<std::uint32_t>(i);
      return E_POINTER;
    }
  }
  return S_OK;
}

DispatchTable::DispatchTable(std::span<const MemberDecl> decls) {
  members_.reserve(decls.size());
  for (const MemberDecl& d : decls) {
    Member m;
    m.id = d.id;
    m.name = QString::fromLatin1(d.name);
    m.tag = d.tag;
    if (!ParseTypeWord(QString::fromLatin1(d.result), m.result) || m.result.byRef) {
      errors_ << QStringLiteral("%1: result \"%2\"").arg(m.name, QString::fromLatin1(d.result));
      continue;
    }
    const QString params = QString::fromLatin1(d.params).trimmed();
    bool ok = true;
    if (!params.isEmpty()) {
      for (const QString& part : params.split(QLatin1Char(','))) {
        const QString p = part.trimmed();
        const qsizetype space = p.lastIndexOf(QLatin1Char(' '));
        ParamInfo param;
        if (space <= 0 || !ParseTypeWord(p.left(space), param) || param.type == VT_EMPTY) {
          errors_ << QStringLiteral("%1: parameter \"%2\"").arg(m.name, p);
          ok = false;
          break;
        }
        param.name = p.mid(space + 1).toStdString();
        m.params.push_back(std::move(param));
      }
    }
    if (!ok) continue;
    if (Find(m.id) || Find(m.name)) {
      errors_ << QStringLiteral("%1: number %2 or name declared twice").arg(m.name).arg(m.id);
      continue;
    }
    members_.push_back(std::move(m));
  }
}

const Member* DispatchTable::Find(DISPID id) const {
  for (const Member& m : members_)
    if (m.id == id) return &m;
  return nullptr;
}

const Member* DispatchTable::Find(const QString& name) const {
  for (const Member& m : members_)
    if (m.name.compare(name, Qt::CaseInsensitive) == 0) return &m;
  return nullptr;
}

HRESULT DispatchTable::GetIDsOfNames(const char16_t* const* names, std::uint32_t count,
                                     DISPID* ids) const {
  if (!names || !ids || count == 0) return E_POINTER;
  HRESULT hr = S_OK;
  for (std::uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const Member* m = names[0] ? Find(QString::fromUtf16(names[0])) : nullptr;
  if (m) ids[0] = m->id;
  else hr = DISP_E_UNKNOWNNAME;
  // Names of parameters are not resolved: arguments are passed by position only.
  if (count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

HRESULT DispatchTable::Prepare(DISPID id, std::uint16_t flags, Variant* args, std::uint32_t count,
                               const Member** member, Args* out, std::uint32_t* argError) const {
  const Member* m = Find(id);
  if (!m || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  if (count != m->params.size()) return DISP_E_BADPARAMCOUNT;
  if (count && !args) return E_POINTER;
  std::vector<Variant> values(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const ParamInfo& p = m->params[i];
    const Variant& a = args[i];
    if (p.byRef) {
      // A by-reference argument must be of the declared type itself: the callee writes through it.
      const VarType base = a.BaseType();
      const bool match = a.IsByRef() && (base == p.type || (p.bytes && base == VT_I4));
      if (!match) {
        if (argError) *argError = i;
        return DISP_E_TYPEMISMATCH;
      }
      values[i] = a;
      continue;
    }
    if (HRESULT hr = ChangeType(values[i], a, p.type); Failed(hr)) {
      if (argError) *argError = i;
      return hr;
    }
  }
  if (member) *member = m;
  if (out) *out = Args(m, std::move(values));
  return S_OK;
}

}  // namespace com
