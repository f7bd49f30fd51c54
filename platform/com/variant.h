#pragma once
// Automation values: strings with a length prefix (BSTR) and the tagged value `Variant` that a
// late-bound call carries, with the coercions a late-bound call applies to its arguments.
//
// A Variant crosses library boundaries: its layout is fixed (24 bytes, no pointers to C++ objects)
// and a string it owns is allocated with the C heap, so either side may free it.
#include <QString>

#include <cstdint>

#include "com/hresult.h"

namespace com {

using VarType = std::uint16_t;
enum : VarType {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UI1 = 17,
  VT_TYPEMASK = 0x0FFF,
  VT_BYREF = 0x4000,
};

using VariantBool = std::int16_t;
inline constexpr VariantBool VARIANT_TRUE = -1;
inline constexpr VariantBool VARIANT_FALSE = 0;

// A string of UTF-16 units preceded by its byte length and followed by a terminator; the pointer
// points at the first unit. A null BSTR is the empty string.
using BSTR = char16_t*;
BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length);
BSTR SysAllocString(const QString& text);
void SysFreeString(BSTR s);
std::uint32_t SysStringLen(const char16_t* s);
QString BstrToQString(const char16_t* s);

class Variant {
 public:
  Variant() noexcept : vt_(VT_EMPTY), count_(0), r8_(0) {}
  Variant(std::int16_t v) noexcept : vt_(VT_I2), count_(0), r8_(0) { i2_ = v; }
  Variant(std::int32_t v) noexcept : vt_(VT_I4), count_(0), r8_(0) { i4_ = v; }
  Variant(float v) noexcept : vt_(VT_R4), count_(0), r8_(0) { r4_ = v; }
  Variant(double v) noexcept : vt_(VT_R8), count_(0), r8_(v) {}
  Variant(const QString& v);
  Variant(const char16_t* v);
  Variant(const char*) = delete;  // say which text: QString or u"..."
  static Variant Bool(bool v);
  static Variant Byte(std::uint8_t v);

  // By-reference values: the callee reads and writes the caller's storage. `count` is the number
  // of elements the caller's storage holds (1 for a single value); a callee never goes past it.
  static Variant Ref(std::int16_t* p, std::uint32_t count = 1) { return MakeRef(VT_I2, p, count); }
  static Variant Ref(std::int32_t* p, std::uint32_t count = 1) { return MakeRef(VT_I4, p, count); }
  static Variant Ref(float* p, std::uint32_t count = 1) { return MakeRef(VT_R4, p, count); }
  static Variant Ref(double* p, std::uint32_t count = 1) { return MakeRef(VT_R8, p, count); }
  static Variant Ref(std::uint8_t* p, std::uint32_t count) { return MakeRef(VT_UI1, p, count); }
  static Variant RefBool(VariantBool* p) { return MakeRef(VT_BOOL, p, 1); }
  static Variant Ref(Variant* p) { return MakeRef(VT_VARIANT, p, 1); }

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { Clear(); }

  void Clear() noexcept;

  VarType Type() const { return vt_; }
  VarType BaseType() const { return static_cast<VarType>(vt_ & VT_TYPEMASK); }
  bool IsByRef() const { return (vt_ & VT_BYREF) != 0; }
  bool IsEmpty() const { return vt_ == VT_EMPTY; }
  // Elements behind a by-reference value (0 for a null reference).
  std::uint32_t RefCount() const { return IsByRef() && ref_ ? count_ : 0; }

  // Raw access; the caller has checked Type().
  std::int16_t I2() const { return i2_; }
  std::int32_t I4() const { return i4_; }
  float R4() const { return r4_; }
  double R8() const { return r8_; }
  VariantBool Boolean() const { return bool_; }
  std::uint8_t UI1() const { return ui1_; }
  const char16_t* Bstr() const { return bstr_; }
  void* RefPointer() const { return ref_; }
  template <class T>
  T* RefAs() const { return static_cast<T*>(ref_); }

  // The string value of a VT_BSTR (empty for anything else).
  QString ToQString() const;

  // Takes ownership of an allocated string.
  static Variant AttachBstr(BSTR s);

 private:
  static Variant MakeRef(VarType base, void* p, std::uint32_t count);

  VarType vt_;
  std::uint16_t reserved_ = 0;
  std::uint32_t count_;
  union {
    std::int16_t i2_;
    std::int32_t i4_;
    float r4_;
    double r8_;
    VariantBool bool_;
    std::uint8_t ui1_;
    BSTR bstr_;
    void* ref_;
  };
};

static_assert(sizeof(Variant) == 16, "Variant layout crosses library boundaries");

// Converts `in` to type `to` as a late-bound call does with an argument: numbers between each other
// (rounding half to even, DISP_E_OVERFLOW when out of range), Booleans as 0 and -1, texts parsed as
// numbers or "True"/"False", empty as zero or the empty text. A by-reference source is read
// through. `to` VT_VARIANT copies unchanged. Anything else is DISP_E_TYPEMISMATCH.
HRESULT ChangeType(Variant& out, const Variant& in, VarType to);

}  // namespace com
