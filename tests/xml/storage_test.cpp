// The compact storage of the node tree: shared texts, whitespace numbers, node lists,
// the table of character forms, and documents loaded side by side on threads.
#include <random>
#include <thread>
#include <vector>

#include "tests/xml/xmltestutil.h"

TEST(XmlStorage, SharedTextsCompareByContentAndSurviveAliasing) {
  TXmlString empty;
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(empty, u"");

  TXmlString a(u"translated");
  TXmlString b = a;
  EXPECT_EQ(a.data(), b.data());  // a copy shares the text
  TXmlString c(String(u"translated"));
  EXPECT_NE(a.data(), c.data());
  EXPECT_EQ(a, c);
  EXPECT_NE(a, u"translate");
  EXPECT_TRUE(TXmlString(u"a") < TXmlString(u"b"));

  // Assigning a part of its own text: the old block must outlive the copy.
  a = a.substr(5);
  EXPECT_EQ(a, u"lated");
  EXPECT_EQ(b, u"translated");
  b = b;
  EXPECT_EQ(b, u"translated");

  // Embedded NULs, surrogate pairs and texts longer than a pool slot keep their length.
  String odd(u"a\0b\xD83D\xDE00", 5);
  TXmlString d(odd);
  EXPECT_EQ(d.size(), 5u);
  EXPECT_EQ(d.Str(), odd);
  String big(100000, u'x');
  big[99999] = u'y';
  TXmlString e(big);
  EXPECT_EQ(e.Str(), big);
  e = u"short";
  EXPECT_EQ(e, u"short");

  String joined = u"<" + TXmlString(u"name") + u">";
  joined += TXmlString(u"!");
  EXPECT_EQ(joined, u"<name>!");
  TXmlString moved = std::move(c);
  EXPECT_EQ(moved, u"translated");
  EXPECT_TRUE(c.empty());
}

TEST(XmlStorage, WhitespaceOfItsOwnIsIndependentAndReused) {
  String longRun(200, u' ');  // too long to be shared
  String text = u"not whitespace";
  std::vector<TXmlWhitespace> kept;
  for (int round = 0; round < 3; ++round) {
    std::vector<TXmlWhitespace> own;
    for (int i = 0; i < 1000; ++i) own.emplace_back(longRun + String(static_cast<size_t>(i % 7), u'\t') + text);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(own[i].Str(), longRun + String(static_cast<size_t>(i % 7), u'\t') + text);
    kept.push_back(own[round]);
  }
  // Copies of entries of their own stay valid after the originals were freed and reused.
  for (int round = 0; round < 3; ++round)
    EXPECT_EQ(kept[round].Str(), longRun + String(static_cast<size_t>(round % 7), u'\t') + text);

  TXmlWhitespace s1(u"\n    "), s2(String(u"\n    "));
  EXPECT_EQ(&s1.Str(), &s2.Str());  // a short run is one shared entry
  TXmlWhitespace own(longRun);
  TXmlWhitespace copy = own;
  copy = u"\t";
  EXPECT_EQ(own.Str(), longRun);
  own = own;  // self-assignment of an entry of its own
  EXPECT_EQ(own.Str(), longRun);
  TXmlWhitespace moved = std::move(own);
  EXPECT_TRUE(own.empty());
  EXPECT_EQ(moved.Str(), longRun);
}

TEST(XmlStorage, ChildListsFollowAVectorThroughRandomEdits) {
  std::mt19937 rng(7);
  TKyXmlElement root(u"r");
  std::vector<TKyXmlElement*> model;
  for (int step = 0; step < 3000; ++step) {
    int n = static_cast<int>(model.size());
    int op = static_cast<int>(rng() % 4);
    if (op <= 1 || n == 0) {
      int at = op == 0 || n == 0 ? -1 : static_cast<int>(rng() % static_cast<unsigned>(n));
      auto e = std::make_unique<TKyXmlElement>(u"e" + IntToStr(step));
      TKyXmlElement* p = e.get();
      root.InsertElement(std::move(e), at);
      model.insert(at < 0 ? model.end() : model.begin() + at, p);
    } else if (op == 2) {
      int at = static_cast<int>(rng() % static_cast<unsigned>(n));
      root.DeleteElement(at);
      model.erase(model.begin() + at);
    } else {
      int at = static_cast<int>(rng() % static_cast<unsigned>(n));
      std::unique_ptr<TKyXmlElement> x = root.ExtractElement(at);
      ASSERT_EQ(x.get(), model[static_cast<size_t>(at)]);
      EXPECT_EQ(x->Parent, nullptr);
      model.erase(model.begin() + at);
    }
    ASSERT_EQ(root.ElementCount(), static_cast<int>(model.size()));
  }
  for (int i = 0; i < root.ElementCount(); ++i) {
    ASSERT_EQ(root.Elements(i), model[static_cast<size_t>(i)]);
    EXPECT_EQ(root.Elements(i)->Parent, &root);
  }
  EXPECT_THROW(root.Elements(root.ElementCount()), EListError);
}

TEST(XmlStorage, CharacterFormsBelongToTheirNodeOnly) {
  auto withForms = std::make_unique<TKyXmlElement>(u"a");
  withForms->CharacterForms().FindOrAdd(0xE9).Forms = efHex;
  ASSERT_TRUE(withForms->HasCharacterForms());

  TKyXmlElement copy;
  copy.Assign(*withForms);
  EXPECT_TRUE(copy.Equals(*withForms));
  copy.CharacterForms().FindOrAdd(0xE9).Forms = efDecimal;
  EXPECT_EQ(withForms->CharacterFormsOrNull()->Find(0xE9)->Forms, efHex);

  // A node created where a freed one was (the pool reuses slots) starts without forms.
  withForms.reset();
  for (int i = 0; i < 100; ++i) {
    auto fresh = std::make_unique<TKyXmlElement>(u"b");
    ASSERT_EQ(fresh->CharacterFormsOrNull(), nullptr);
    ASSERT_FALSE(fresh->HasCharacterForms());
  }

  TKyXmlElement other;
  other.TakeCharacterForms(copy.ReleaseCharacterForms());
  EXPECT_EQ(copy.CharacterFormsOrNull(), nullptr);
  ASSERT_NE(other.CharacterFormsOrNull(), nullptr);
  EXPECT_EQ(other.CharacterFormsOrNull()->Find(0xE9)->Forms, efDecimal);
  other.TakeCharacterForms(nullptr);
  EXPECT_FALSE(other.HasCharacterForms());
}

TEST(XmlStorage, DocumentsLoadSideBySideOnThreads) {
  // Names, whitespace, forms and the pool are shared by every document of the process.
  RawBytes source = "<?xml version=\"1.0\"?>\n<r>\n";
  for (int i = 0; i < 400; ++i)
    source += "  <item id=\"" + std::to_string(i) + "\" state='new'>caf&#xE9; &amp; " + std::to_string(i) +
              "</item>\n";
  source += "</r>\n";
  // Load, copy the tree into a second document, free the first, save the copy.
  auto cycle = [&] {
    TKyXmlFile doc;
    SetPreserving(doc);
    LoadBytes(doc, source);
    TKyXmlFile copy;
    SetPreserving(copy);
    for (int i = 0; i < doc.ItemCount(); ++i) {
      auto item = std::make_unique<TKyXmlElement>();
      item->Assign(*doc.Items(i));
      copy.AddItem(std::move(item));
    }
    doc.Clear();
    return SaveBytes(copy);
  };
  const RawBytes expected = cycle();
  ASSERT_NE(expected.find("caf&#xE9; &amp; 399</item>"), RawBytes::npos);
  std::vector<RawBytes> results(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < results.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) results[t] = cycle();
    });
  for (auto& th : threads) th.join();
  for (const RawBytes& r : results) EXPECT_EQ(r, expected);
}

TEST(XmlStorage, PackedAttributesReadWriteAndUnpackAlike) {
  // Packed lists (one space between attributes) and lists that stay objects (other
  // whitespace) side by side, with references, quotes and a forms entry each.
  const RawBytes source =
      "<r a=\"1\" b='J. M&#252;ller' c=\"&lt;x&gt; &amp; &quot;q&quot;\">"
      "<e xml:lang=\"de\" xml:space=\"preserve\" n=\"&#x41;&#65;\"> t </e>"
      "<f  a = \"1\"\n   b=\"2\"/></r>";
  for (bool preserving : {false, true}) {
    TKyXmlFile doc;
    if (preserving) SetPreserving(doc);
    LoadBytes(doc, source);
    TKyXmlElement* r = doc.Root();
    RawBytes packed = SaveBytes(doc);
    // Reads that make no objects.
    EXPECT_EQ(r->Attributes.ReadString(u"b"), U("J. M\xC3\xBCller"));
    EXPECT_EQ(r->FindElement(u"e", -1, u"de")->Value, u" t ");
    EXPECT_TRUE(r->FindElement(u"e")->PreservesSpace());
    EXPECT_EQ(r->Attributes.Count(), 3);
    // Every attribute an object again: same values, forms, parent, and the same output.
    TKyXmlAttribute* b = r->Attributes.Find(u"b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Parent, r);
    EXPECT_EQ(b->QuoteKind, 1);
    ASSERT_NE(b->CharacterFormsOrNull(), nullptr);
    EXPECT_NE(b->CharacterFormsOrNull()->Find(252), nullptr);
    EXPECT_EQ(r->Attributes.Items(2)->Value, u"<x> & \"q\"");
    TKyXmlElement* e = r->FindElement(u"e");
    EXPECT_EQ(e->Attributes.Items(2)->CharacterFormsOrNull()->Find(u'A')->Forms, efHex | efDecimal);
    r->FindElement(u"f")->Attributes.Items(0);
    EXPECT_EQ(SaveBytes(doc), packed);
    if (preserving) EXPECT_EQ(packed, source);
    // A copy and a list changed through the API.
    TKyXmlFile other;
    LoadBytes(other, source);
    auto copy = std::make_unique<TKyXmlElement>();
    copy->Assign(*other.Root());
    EXPECT_TRUE(copy->Equals(*other.Root()));
    EXPECT_EQ(copy->Attributes.Items(1)->CharacterFormsOrNull()->Find(252)->Forms, efDecimal);
    other.Root()->Attributes.WriteString(u"d", u"4");
    EXPECT_THROW(other.Root()->Attributes.Add(std::make_unique<TKyXmlAttribute>(u"a", u"x")), Exception);
    EXPECT_EQ(other.Root()->Attributes.Count(), 4);
    EXPECT_EQ(other.Root()->Attributes.Items(3)->Parent, other.Root());
  }
}
