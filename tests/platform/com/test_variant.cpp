// Automation values: the coercions a late-bound call applies, and strings that own their memory.
#include <gtest/gtest.h>

#include "com/variant.h"

using namespace com;

namespace {

Variant To(const Variant& in, VarType t, HRESULT* hr = nullptr) {
  Variant out;
  const HRESULT r = ChangeType(out, in, t);
  if (hr) *hr = r;
  return out;
}

HRESULT Fails(const Variant& in, VarType t) {
  Variant out;
  return ChangeType(out, in, t);
}

}  // namespace

TEST(ComVariant, NumbersNarrowWithRangeChecksAndRoundHalfToEven) {
  EXPECT_EQ(To(Variant(std::int32_t(-32768)), VT_I2).I2(), -32768);
  EXPECT_EQ(Fails(Variant(std::int32_t(32768)), VT_I2), DISP_E_OVERFLOW);
  EXPECT_EQ(Fails(Variant(std::int32_t(-1)), VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(Fails(Variant(3e9), VT_I4), DISP_E_OVERFLOW);
  EXPECT_EQ(Fails(Variant(1e40), VT_R4), DISP_E_OVERFLOW);
  // Halves go to the even neighbour, as automation rounds.
  EXPECT_EQ(To(Variant(2.5), VT_I4).I4(), 2);
  EXPECT_EQ(To(Variant(3.5), VT_I4).I4(), 4);
  EXPECT_EQ(To(Variant(-2.5), VT_I2).I2(), -2);
  EXPECT_EQ(To(Variant(2.6f), VT_I2).I2(), 3);
  EXPECT_EQ(To(Variant(32767.4), VT_I2).I2(), 32767);
  // Booleans are 0 and -1 both ways.
  EXPECT_EQ(To(Variant::Bool(true), VT_I2).I2(), -1);
  EXPECT_EQ(To(Variant(std::int32_t(7)), VT_BOOL).Boolean(), VARIANT_TRUE);
  EXPECT_EQ(To(Variant(0.0), VT_BOOL).Boolean(), VARIANT_FALSE);
  // Empty is zero.
  EXPECT_EQ(To(Variant(), VT_I4).I4(), 0);
  EXPECT_EQ(To(Variant(), VT_BSTR).ToQString(), QString());
}

TEST(ComVariant, TextsParseAsNumbersOrFailWithTypeMismatch) {
  EXPECT_EQ(To(Variant(u" 42 "), VT_I2).I2(), 42);
  EXPECT_EQ(To(Variant(u"-1.5e3"), VT_I4).I4(), -1500);
  EXPECT_DOUBLE_EQ(To(Variant(u"0.25"), VT_R8).R8(), 0.25);
  EXPECT_EQ(To(Variant(u"True"), VT_BOOL).Boolean(), VARIANT_TRUE);
  EXPECT_EQ(To(Variant(u"false"), VT_I4).I4(), 0);
  EXPECT_EQ(Fails(Variant(u"abc"), VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Fails(Variant(u""), VT_I2), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Fails(Variant(u"12abc"), VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Fails(Variant(u"inf"), VT_R8), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Fails(Variant(u"70000"), VT_I2), DISP_E_OVERFLOW);
  // Numbers written as text.
  EXPECT_EQ(To(Variant(std::int16_t(-5)), VT_BSTR).ToQString(), QStringLiteral("-5"));
  EXPECT_EQ(To(Variant(0.5), VT_BSTR).ToQString(), QStringLiteral("0.5"));
  EXPECT_EQ(To(Variant(1.5f), VT_BSTR).ToQString(), QStringLiteral("1.5"));
  EXPECT_EQ(To(Variant::Bool(true), VT_BSTR).ToQString(), QStringLiteral("True"));
  EXPECT_EQ(Fails(To(Variant(), VT_VARIANT), VT_I4), S_OK);
}

TEST(ComVariant, ByReferenceSourcesAreReadThroughOnce) {
  std::int32_t n = 300;
  EXPECT_EQ(To(Variant::Ref(&n), VT_I2).I2(), 300);
  double d = 1e10;
  EXPECT_EQ(Fails(Variant::Ref(&d), VT_I4), DISP_E_OVERFLOW);
  Variant inner(u"17");
  EXPECT_EQ(To(Variant::Ref(&inner), VT_I4).I4(), 17);
  // A reference to a reference, or a null reference, is no value.
  Variant refToRef = Variant::Ref(&n);
  EXPECT_EQ(Fails(Variant::Ref(&refToRef), VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Fails(Variant::Ref(static_cast<std::int32_t*>(nullptr)), VT_I4), DISP_E_TYPEMISMATCH);
  // A VARIANT parameter takes the argument unchanged, reference and all.
  const Variant same = To(Variant::Ref(&n), VT_VARIANT);
  EXPECT_TRUE(same.IsByRef());
  EXPECT_EQ(same.RefAs<std::int32_t>(), &n);
  // The element count of a null reference is 0.
  EXPECT_EQ(Variant::Ref(static_cast<std::int32_t*>(nullptr), 10).RefCount(), 0u);
}

TEST(ComVariant, StringsAreOwnedCopiedAndKeepEmbeddedZeros) {
  const QString text = QString::fromUtf16(u"写真\0.bmp", 7);
  Variant a(text);
  EXPECT_EQ(SysStringLen(a.Bstr()), 7u);
  EXPECT_EQ(a.ToQString(), text);
  Variant b = a;  // deep copy
  EXPECT_NE(a.Bstr(), b.Bstr());
  a = Variant(std::int32_t(1));  // frees the first string
  EXPECT_EQ(b.ToQString(), text);
  Variant c = std::move(b);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(c.ToQString(), text);
  c = c;  // self-assignment keeps the value
  EXPECT_EQ(c.ToQString(), text);
  // A string allocated by one side and freed by the other: both use the C heap.
  BSTR raw = SysAllocString(QStringLiteral("abc"));
  Variant owner = Variant::AttachBstr(raw);
  EXPECT_EQ(owner.ToQString(), QStringLiteral("abc"));
  EXPECT_EQ(BstrToQString(nullptr), QString());
  EXPECT_EQ(SysStringLen(nullptr), 0u);
}
