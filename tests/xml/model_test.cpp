#include "lib/core/kydatetime.h"
#include "tests/xml/xmltestutil.h"

namespace {

std::unique_ptr<TKyXmlElement> Node(const String& name, Byte kind = xkElement) {
  return std::make_unique<TKyXmlElement>(name, kind);
}

}  // namespace

TEST(XmlModel, SameNameIndexCountsTagsAcrossOtherKinds) {
  TKyXmlElement root(u"r");
  TKyXmlElement* a = root.AddElement(Node(u"item"));
  root.AddElement(Node(u"", xkComment));
  TKyXmlElement* b = root.AddElement(Node(u"item", xkEmptyElement));
  root.AddElement(Node(u"other"));
  TKyXmlElement* c = root.AddElement(Node(u"item"));
  EXPECT_EQ(a->SameNameIndex, 0);
  EXPECT_EQ(b->SameNameIndex, 1);
  EXPECT_EQ(c->SameNameIndex, 2);
  EXPECT_EQ(b->Parent, &root);
  // An inserted child counts from the last same-name sibling of the whole list.
  TKyXmlElement* d = root.InsertElement(Node(u"item"), 0);
  EXPECT_EQ(d->SameNameIndex, 3);
  // Comments count among comments, not among elements.
  TKyXmlElement* c2 = root.AddElement(Node(u"", xkComment));
  EXPECT_EQ(c2->SameNameIndex, 1);
  // A processing instruction is never numbered.
  root.AddElement(Node(u"item", xkProcessingInstruction));
  EXPECT_EQ(root.Elements(root.ElementCount() - 1)->SameNameIndex, 0);

  EXPECT_EQ(root.FindElement(u""), &root);
  EXPECT_EQ(root.FindElement(u"item", 1), b);
  EXPECT_EQ(root.FindElement(u"item"), d);
  EXPECT_EQ(root.FindElement(u"item", 7), nullptr);
  EXPECT_EQ(root.FindElement(u"missing"), nullptr);
}

TEST(XmlModel, FindElementByLanguage) {
  TKyXmlElement root(u"r");
  TKyXmlElement* en = root.AddElement(Node(u"t"));
  en->Attributes.WriteString(u"xml:lang", u"en");
  TKyXmlElement* de = root.AddElement(Node(u"t"));
  de->Attributes.WriteString(u"xml:lang", u"de");
  EXPECT_EQ(root.FindElement(u"t", -1, u"de"), de);
  EXPECT_EQ(root.FindElement(u"t", 0, u"de"), nullptr);
  EXPECT_EQ(root.FindElement(u"t", -1, u"fr"), nullptr);
}

TEST(XmlModel, TreeOperationsAndIndexErrors) {
  TKyXmlElement root(u"r");
  auto onlyValue = Node(u"v");
  onlyValue->Value = u"text";
  EXPECT_EQ(root.AddElement(std::move(onlyValue), true), nullptr);  // a value alone is empty
  EXPECT_EQ(root.ElementCount(), 0);
  auto withAttr = Node(u"a");
  withAttr->Attributes.WriteString(u"x", u"1");
  EXPECT_NE(root.AddElement(std::move(withAttr), true), nullptr);
  root.AddElement(Node(u"b"));
  root.DeleteElement(0);
  ASSERT_EQ(root.ElementCount(), 1);
  EXPECT_EQ(root.Elements(0)->Name, u"b");
  EXPECT_THROW(root.Elements(1), EListError);
  EXPECT_THROW(root.DeleteElement(-1), EListError);
  TKyXmlFile doc;
  EXPECT_THROW(doc.Items(0), EListError);
}

TEST(XmlModel, KindAndValueChanges) {
  TKyXmlElement e(u"e", xkEmptyElement);
  e.Tail = u" ";
  e.SetValue(u"x");
  EXPECT_EQ(e.Kind(), xkEmptyElement);  // SetValue leaves the kind alone
  e.ChangeValue(u"y");
  EXPECT_EQ(e.Kind(), xkElement);
  EXPECT_EQ(e.Tail, u"");
  EXPECT_EQ(e.Value, u"y");
  e.SetKind(xkEmptyElement);
  EXPECT_EQ(e.Value, u"");
  // The same text again does not count as a change.
  e.Tail = u" ";
  e.ChangeValue(u"");
  EXPECT_EQ(e.Kind(), xkEmptyElement);
  EXPECT_EQ(e.Tail, u" ");
}

TEST(XmlModel, AttributeListRules) {
  TKyXmlElement e(u"e");
  TKyXmlAttributes& a = e.Attributes;
  a.WriteString(u"one", u"1");
  a.WriteString(u"zero", u"0", 0);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Items(0)->Name, u"zero");
  EXPECT_EQ(a.Items(0)->Parent, &e);
  try {
    a.Add(std::make_unique<TKyXmlAttribute>(u"one", u"again"));
    FAIL();
  } catch (const Exception& ex) {
    EXPECT_EQ(ex.Message(), u"Element already contains one attribute");
  }
  EXPECT_EQ(a.Count(), 2);
  EXPECT_EQ(a.ReadString(u"one", u""), u"1");
  try {
    a.WriteString(u"", u"x");
    FAIL();
  } catch (const Exception& ex) {
    EXPECT_EQ(ex.Message(), u"Empty attribute name");
  }
  a.WriteString(u"one", u"d", -1, true, u"d");  // equal to the default: untouched
  a.WriteString(u"new", u"d", -1, true, u"d");
  EXPECT_EQ(a.ReadString(u"one"), u"1");
  EXPECT_EQ(a.Find(u"new"), nullptr);
  a.WriteString(u"one", u"11");
  EXPECT_EQ(a.ReadString(u"one"), u"11");
  EXPECT_EQ(a.Count(), 2);
}

TEST(XmlModel, TypedAttributes) {
  TKyXmlAttributes a;
  a.WriteString(u"yes", u"yes");
  a.WriteBool(u"on", true);
  a.WriteBool(u"off", false);
  a.WriteBool(u"skipped", true, true, true);
  EXPECT_TRUE(a.ReadBool(u"yes", true));
  EXPECT_FALSE(a.ReadBool(u"yes", false));
  EXPECT_TRUE(a.ReadBool(u"on", false));
  EXPECT_FALSE(a.ReadBool(u"off", true));
  EXPECT_EQ(a.Find(u"skipped"), nullptr);

  a.WriteFloat(u"f", false, 0, 2.5);
  a.WriteFloat(u"third", false, 0, 1.0 / 3);
  EXPECT_EQ(a.ReadString(u"f"), u"2.5");
  EXPECT_NEAR(a.ReadFloat(u"third", 0), 1.0 / 3, 1e-14);
  EXPECT_DOUBLE_EQ(a.ReadFloat(u"missing", 7), 7);
  a.WriteString(u"bad", u"1,5x");
  EXPECT_THROW(a.ReadFloat(u"bad", 0), EConvertError);
  a.WriteFloat(u"inf", false, 0, 1.0 / 0.0);
  EXPECT_EQ(a.ReadString(u"inf", u"?"), u"");
}

TEST(XmlModel, CompactTimestamps) {
  TKyXmlAttributes a;
  a.WriteString(u"full", u"20150504181809");
  a.WriteString(u"ms", u"20150504181809123");
  a.WriteString(u"day", u"20150504");
  a.WriteString(u"partial", u"2015050418xx09");
  a.WriteString(u"empty", u"");
  a.WriteString(u"bad", u"2015ab04");
  TDateTime day = EncodeDate(2015, 5, 4);
  EXPECT_DOUBLE_EQ(a.ReadDateTime(u"full", -1), day + EncodeTime(18, 18, 9, 0));
  EXPECT_DOUBLE_EQ(a.ReadDateTime(u"ms", -1), day + EncodeTime(18, 18, 9, 123));
  EXPECT_DOUBLE_EQ(a.ReadDateTime(u"day", -1), day);
  EXPECT_DOUBLE_EQ(a.ReadDateTime(u"partial", -1), day + EncodeTime(18, 0, 9, 0));
  EXPECT_DOUBLE_EQ(a.ReadDateTime(u"empty", -1), 0);
  EXPECT_DOUBLE_EQ(a.ReadDateTime(u"missing", -1), -1);
  EXPECT_THROW(a.ReadDateTime(u"bad", -1), EConvertError);
}

TEST(XmlModel, EntityTable) {
  TKyXmlFileEntities t;
  EXPECT_EQ(t.Count(), 5);
  ASSERT_NE(t.FindEntity(u"quot"), nullptr);
  EXPECT_EQ(t.FindEntity(u"quot")->Value, u"\"");
  EXPECT_EQ(t.FindEntity(u"Quot"), nullptr);  // case-sensitive
  t.AddEntity(1, u"b", u"first");
  t.AddEntity(1, u"a", u"x");
  t.AddEntity(1, u"b", u"second");
  EXPECT_FALSE(t.Sorted);
  EXPECT_EQ(t.FindEntity(u"b")->Value, u"first");  // the first declaration binds
  EXPECT_TRUE(t.Sorted);
  EXPECT_EQ(t.FindEntity(u"lt")->EntityKind, 0);
  TXmlSpecialBytes initial{1, 0, 0, 1, 1};
  EXPECT_EQ(t.EntityModes, initial);
}

TEST(XmlModel, ManyNodesComeAndGo) {
  // Enough nodes for several storage slabs, freed out of order and allocated again.
  for (int round = 0; round < 2; ++round) {
    auto root = std::make_unique<TKyXmlElement>(u"r");
    for (int p = 0; p < 10; ++p) {
      TKyXmlElement* parent = root->AddElement(std::make_unique<TKyXmlElement>(u"p"));
      for (int i = 0; i < 3000; ++i) {
        TKyXmlElement* e = parent->AddElement(std::make_unique<TKyXmlElement>(u"e" + IntToStr(i % 3)));
        e->Attributes.WriteString(u"n", IntToStr(i));
        e->Tail = i % 2 ? u" " : u"\n  ";
      }
      for (int i = parent->ElementCount() - 1; i >= 0; i -= 2) parent->DeleteElement(i);
    }
    root->DeleteElement(3);
    ASSERT_EQ(root->ElementCount(), 9);
    for (int p = 0; p < 9; ++p) {
      TKyXmlElement* parent = root->Elements(p);
      ASSERT_EQ(parent->ElementCount(), 1500);
      for (int i = 0; i < parent->ElementCount(); ++i) {
        TKyXmlElement* e = parent->Elements(i);
        ASSERT_EQ(e->Attributes.ReadString(u"n"), IntToStr(2 * i));
        ASSERT_EQ(e->Tail, u"\n  ");
        ASSERT_EQ(e->Parent, parent);
      }
    }
  }
}
