#pragma once
// Late-bound calls driven by one table of member declarations. An object lists its members once
// (number, name, result type, parameter list in declaration words); the table resolves names,
// checks the argument count, coerces by-value arguments, checks by-reference arguments and hands
// the object typed access to what the caller passed.
//
// Declaration words: void short long float double BSTR VARIANT VARIANT_BOOL, a trailing "*" for a
// by-reference value, "long[n]" for a by-reference array of at least n longs, "byte[n]" for a
// by-reference buffer of at least n bytes (given as bytes or as longs) and "byte[]" for a buffer
// of any length. Parameters are separated by commas and each is "type name".
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "com/unknown.h"

namespace com {

struct MemberDecl {
  DISPID id;
  const char* name;
  const char* result;  // a declaration word
  const char* params;  // "" for none
  int tag = 0;         // free for the object's own use
};

struct ParamInfo {
  std::string name;
  VarType type = VT_EMPTY;     // base type; VT_EMPTY for void results
  bool byRef = false;
  bool bytes = false;          // a byte buffer (accepts bytes or longs)
  std::uint32_t minCount = 1;  // elements (bytes for buffers) the caller's storage must hold
};

struct Member {
  DISPID id = DISPID_UNKNOWN;
  QString name;
  ParamInfo result;
  std::vector<ParamInfo> params;
  int tag = 0;
};

// What a caller passed, after the table's checks and coercions.
class Args {
 public:
  Args() = default;
  Args(const Member* member, std::vector<Variant> values)
      : member_(member), values_(std::move(values)) {}

  std::size_t Count() const { return values_.size(); }
  const Variant& Value(std::size_t i) const { return values_[i]; }

  // By-value parameters, coerced to their declared type.
  std::int16_t I2(std::size_t i) const { return values_[i].I2(); }
  std::int32_t I4(std::size_t i) const { return values_[i].I4(); }
  float R4(std::size_t i) const { return values_[i].R4(); }
  double R8(std::size_t i) const { return values_[i].R8(); }
  bool Bool(std::size_t i) const { return values_[i].Boolean() != 0; }
  QString Str(std::size_t i) const { return values_[i].ToQString(); }

  // By-reference parameters: the caller's storage, never null once CheckReferences passed.
  std::int16_t* RefI2(std::size_t i) const { return values_[i].RefAs<std::int16_t>(); }
  std::int32_t* RefI4(std::size_t i) const { return values_[i].RefAs<std::int32_t>(); }
  double* RefR8(std::size_t i) const { return values_[i].RefAs<double>(); }
  std::span<std::int32_t> LongArray(std::size_t i) const;
  // A buffer parameter as bytes, whichever way the caller gave it.
  std::span<std::uint8_t> Bytes(std::size_t i) const;

  // E_POINTER when a by-reference argument is null or holds fewer elements than declared; the
  // index of the first such argument goes to `argError`.
  HRESULT CheckReferences(std::uint32_t* argError = nullptr) const;

 private:
  const Member* member_ = nullptr;
  std::vector<Variant> values_;
};

class DispatchTable {
 public:
  // Parses the declarations; a malformed one is a programming error reported by Errors().
  explicit DispatchTable(std::span<const MemberDecl> decls);

  // Declarations that could not be parsed or repeat a number or name (empty when all is well).
  const QStringList& Errors() const { return errors_; }

  const std::vector<Member>& Members() const { return members_; }
  const Member* Find(DISPID id) const;
  const Member* Find(const QString& name) const;

  HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count, DISPID* ids) const;

  // The checks of IDispatch::Invoke before a member runs: the member exists and is called as a
  // method, the count matches, by-value arguments coerce and by-reference arguments have the
  // declared type.
  HRESULT Prepare(DISPID id, std::uint16_t flags, Variant* args, std::uint32_t count,
                  const Member** member, Args* out, std::uint32_t* argError) const;

 private:
  std::vector<Member> members_;
  QStringList errors_;
};

// Parses one declaration word ("long*", "byte[60]"); false when it is not one.
bool ParseTypeWord(const QString& word, ParamInfo& out);

}  // namespace com
