// Late-bound calls driven by a member table: declarations, argument checks and references.
#include <gtest/gtest.h>

#include "com/dispatch.h"

using namespace com;

namespace {

const MemberDecl kDecls[] = {
    {1, "Open", "long", "BSTR file, short mode"},
    {2, "Size", "long", "long* width, long* height"},
    {3, "Header", "long", "long[10] header"},
    {4, "Font", "long", "byte[60] font"},
    {5, "Copy", "long", "long* size, byte[] buffer"},
    {6, "Name", "BSTR", "short index"},
    {7, "Rate", "void", "double* rate, VARIANT any, VARIANT_BOOL flag"},
};

const DispatchTable& Table() {
  static const DispatchTable t(kDecls);
  return t;
}

HRESULT Call(DISPID id, std::vector<Variant> args, Args* out = nullptr, std::uint32_t* bad = nullptr,
             std::uint16_t flags = DISPATCH_METHOD) {
  return Table().Prepare(id, flags, args.data(), static_cast<std::uint32_t>(args.size()), nullptr,
                         out, bad);
}

}  // namespace

TEST(ComDispatch, DeclarationsParseAndMistakesAreReported) {
  EXPECT_TRUE(Table().Errors().isEmpty()) << Table().Errors().join(u'\n').toStdString();
  ASSERT_EQ(Table().Members().size(), 7u);
  const Member* header = Table().Find(3);
  ASSERT_TRUE(header);
  EXPECT_TRUE(header->params[0].byRef);
  EXPECT_EQ(header->params[0].minCount, 10u);

  const MemberDecl bad[] = {
      {1, "A", "long", "long"},              // no parameter name
      {2, "B", "long*", ""},                 // results are values
      {3, "C", "long", "string s"},          // no such type
      {4, "D", "long", "BSTR* s"},           // no references to texts
      {5, "E", "long", ""}, {5, "F", "long", ""},  // number twice
      {6, "e", "long", ""},                  // name twice (names ignore case)
  };
  const DispatchTable broken(bad);
  EXPECT_EQ(broken.Errors().size(), 6) << broken.Errors().join(u'\n').toStdString();
  EXPECT_EQ(broken.Members().size(), 1u);
}

TEST(ComDispatch, NamesResolveWithoutCaseAndUnknownNamesAreRefused) {
  DISPID ids[2] = {0, 0};
  const char16_t* one[] = {u"hEaDeR"};
  EXPECT_EQ(Table().GetIDsOfNames(one, 1, ids), S_OK);
  EXPECT_EQ(ids[0], 3);
  const char16_t* unknown[] = {u"Close"};
  EXPECT_EQ(Table().GetIDsOfNames(unknown, 1, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  const char16_t* withParam[] = {u"Open", u"file"};  // arguments go by position only
  EXPECT_EQ(Table().GetIDsOfNames(withParam, 2, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST(ComDispatch, CallsWithWrongCountsKindsOrFlagsAreRefused) {
  std::uint32_t bad = 99;
  EXPECT_EQ(Call(42, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(1, {Variant(u"a")}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, {Variant(u"a"), Variant(std::int16_t(1)), Variant()}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, {Variant(u"a"), Variant(std::int16_t(1))}, nullptr, nullptr, DISPATCH_PROPERTYPUT),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(1, {Variant(u"a"), Variant(u"x")}, nullptr, &bad), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 1u);
  EXPECT_EQ(Call(1, {Variant(u"a"), Variant(std::int32_t(40000))}), DISP_E_OVERFLOW);
  // A by-reference parameter needs a reference of its own type: the callee writes through it.
  std::int16_t shortSlot = 0;
  std::int32_t longSlot = 0;
  EXPECT_EQ(Call(2, {Variant::Ref(&shortSlot), Variant::Ref(&longSlot)}, nullptr, &bad),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 0u);
  EXPECT_EQ(Call(2, {Variant::Ref(&longSlot), Variant(std::int32_t(0))}, nullptr, &bad),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 1u);
  // Coercions of by-value parameters: text to short, number to text, anything as VARIANT.
  Args a;
  ASSERT_EQ(Call(1, {Variant(std::int32_t(12)), Variant(u"7")}, &a), S_OK);
  EXPECT_EQ(a.Str(0), QStringLiteral("12"));
  EXPECT_EQ(a.I2(1), 7);
  double rate = 0;
  ASSERT_EQ(Call(7, {Variant::Ref(&rate), Variant(u"x"), Variant(std::int32_t(1))}, &a), S_OK);
  EXPECT_EQ(a.Value(1).ToQString(), QStringLiteral("x"));
  EXPECT_TRUE(a.Bool(2));
  *a.RefR8(0) = 2.0;
  EXPECT_EQ(rate, 2.0);
}

TEST(ComDispatch, NullOrShortReferencesAreRefusedBeforeAnyWrite) {
  Args a;
  std::uint32_t bad = 99;
  std::int32_t w = 0;
  ASSERT_EQ(Call(2, {Variant::Ref(&w), Variant::Ref(static_cast<std::int32_t*>(nullptr))}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(&bad), E_POINTER);
  EXPECT_EQ(bad, 1u);

  std::int32_t header[10] = {};
  ASSERT_EQ(Call(3, {Variant::Ref(header, 9)}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(), E_POINTER);
  ASSERT_EQ(Call(3, {Variant::Ref(header, 10)}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(), S_OK);
  EXPECT_EQ(a.LongArray(0).size(), 10u);

  // A 60-byte buffer may come as bytes or as fifteen longs.
  std::uint8_t bytes[60] = {};
  std::int32_t longs[15] = {};
  ASSERT_EQ(Call(4, {Variant::Ref(bytes, 59)}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(), E_POINTER);
  ASSERT_EQ(Call(4, {Variant::Ref(longs, 15)}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(), S_OK);
  EXPECT_EQ(a.Bytes(0).size(), 60u);
  ASSERT_EQ(Call(4, {Variant::Ref(longs, 14)}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(), E_POINTER);
  // A buffer of any length still needs one.
  std::int32_t size = 4;
  ASSERT_EQ(Call(5, {Variant::Ref(&size), Variant::Ref(static_cast<std::uint8_t*>(nullptr), 0)}, &a), S_OK);
  EXPECT_EQ(a.CheckReferences(), E_POINTER);
}
