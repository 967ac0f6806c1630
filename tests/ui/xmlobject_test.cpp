// The font object stored as an XML element.
#include <gtest/gtest.h>

#include "lib/xml/kyxmlobject.h"

namespace {

TEST(KyFont, WritesOnlyWhatIsSetAndReadsItBack) {
  TKyXmlElement root(u"root");
  TKyFont f;
  f.Name = u"Arial";
  f.Size = 10;
  TKyXmlElement* e = f.SaveToElement(root);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Name, u"font");
  EXPECT_EQ(e->Attributes.ReadString(u"name"), u"Arial");
  EXPECT_EQ(e->Attributes.ReadString(u"size"), u"10");
  TKyFont empty;
  TKyXmlElement* e2 = empty.SaveToElement(root);
  EXPECT_EQ(e2->Attributes.Count(), 0);

  TKyFont back;
  back.Size = 99;
  back.LoadFromElement(*e);
  EXPECT_TRUE(back.Equals(f));
  back.LoadFromElement(*e2);  // absent attributes give the defaults
  EXPECT_EQ(back.Name, u"");
  EXPECT_EQ(back.Size, 0);
}

TEST(KyFont, SymbolFontsAreRecognisedWhenRead) {
  TKyXmlElement e(u"font");
  e.Attributes.WriteString(u"name", u"Wingdings 2");
  TKyFont f;
  f.ReadAttributes(e);
  EXPECT_TRUE(f.IsSymbol);
  e.Attributes.WriteString(u"name", u"wingdings");  // case-sensitive
  f.ReadAttributes(e);
  EXPECT_FALSE(f.IsSymbol);
  TKyFont copy;
  f.IsSymbol = true;
  copy.Assign(f);
  EXPECT_TRUE(copy.IsSymbol);
}

TEST(KyFont, AssignToFontRoundsHalvesToEven) {
  TKyFont f;
  TFontDesc d;
  d.Name = u"Tahoma";
  d.Size = 8;
  f.AssignToFont(d);  // empty name and zero size change nothing
  EXPECT_EQ(d.Name, u"Tahoma");
  EXPECT_EQ(d.Size, 8);
  f.Name = u"Arial";
  f.Size = 10.5;
  EXPECT_EQ(f.AssignToFont(d).Size, 10);
  EXPECT_EQ(d.Name, u"Arial");
  f.Size = 11.5;
  EXPECT_EQ(f.AssignToFont(d).Size, 12);
  f.Size = 11.6;
  EXPECT_EQ(f.RoundedSize(), 12);
  TKyFont from;
  from.AssignFromFont(d);
  EXPECT_EQ(from.Name, u"Arial");
  EXPECT_EQ(from.Size, 12);
}

TEST(KyFont, EqualityIsExactAndOrderIgnoresCase) {
  TKyFont a, b;
  a.Name = u"Arial";
  a.Size = 10;
  b.Name = u"arial";
  b.Size = 12;
  EXPECT_FALSE(a.Equals(b));
  EXPECT_LT(a.Compare(b), 0);  // same name ignoring case: the smaller size first
  EXPECT_GT(b.Compare(a), 0);
  b.Size = 10;
  EXPECT_EQ(a.Compare(b), 0);
  b.Name = u"Arial";
  EXPECT_TRUE(a.Equals(b));
  struct TOther : TKyXmlObject {};
  EXPECT_FALSE(a.Equals(TOther()));
  b.Name = u"Courier";
  EXPECT_LT(a.Compare(b), 0);
  EXPECT_EQ(TKyXmlObject().ElementName(), u"object");
  EXPECT_EQ(TKyXmlObject().StorageKind(), 3);
  EXPECT_EQ(a.StorageKind(), 1);
}

}  // namespace
