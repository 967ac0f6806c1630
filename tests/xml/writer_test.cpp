#include "tests/xml/xmltestutil.h"

namespace {

const RawBytes kBom = "\xEF\xBB\xBF";

// Text of one element written by SaveToFile in the default layout, without the line end.
RawBytes WrittenElement(TKyXmlFile& doc, std::unique_ptr<TKyXmlElement> e) {
  TKyXmlElement* added = doc.AddItem(std::move(e));
  doc.WriteDeclaration = false;
  RawBytes out = SaveBytes(doc, added);
  if (out.compare(0, 3, kBom) == 0) out.erase(0, 3);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace

TEST(XmlWriter, OptionsFileExample) {
  TTempDir dir;
  String name = dir.File(u"Tramvelon.tvo");
  TKyXmlFile doc;
  doc.BeginWrite(name, true);
  doc.WriteStartElement(u"options");
  TKyXmlAttributes languages;
  languages.WriteString(u"ui", u"DE");
  doc.WriteEmptyElement(u"languages", &languages);
  doc.WriteStartElement(u"projects");
  doc.WriteTextElement(u"item", u"XML\\Country.tvp");
  doc.WriteEndElement();
  doc.WriteEndElement();
  doc.EndWrite();
  EXPECT_EQ(ReadAll(name),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<options>\r\n"
            "  <languages ui=\"DE\"/>\r\n"
            "  <projects>\r\n"
            "    <item>XML\\Country.tvp</item>\r\n"
            "  </projects>\r\n"
            "</options>\r\n");
}

TEST(XmlWriter, PackageDescriptionExample) {
  const RawBytes expected =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<info packagename=\"Demo\" created=\"20150504181809\"/>\r\n";
  TKyXmlFile built;
  auto decl = std::make_unique<TKyXmlElement>(u"xml", xkDeclaration);
  decl->Attributes.WriteString(u"version", u"1.0");
  decl->Attributes.WriteString(u"encoding", u"utf-8");
  built.AddItem(std::move(decl));
  auto info = std::make_unique<TKyXmlElement>(u"info", xkEmptyElement);
  info->Attributes.WriteString(u"packagename", u"Demo");
  info->Attributes.WriteString(u"created", u"20150504181809");
  built.AddItem(std::move(info));
  EXPECT_EQ(SaveBytes(built), expected);
  // The same bytes come back from a default load and save.
  TKyXmlFile loaded;
  LoadBytes(loaded, expected);
  EXPECT_EQ(SaveBytes(loaded), expected);
}

TEST(XmlWriter, EscapingRules) {
  {
    TKyXmlFile doc;
    auto e = std::make_unique<TKyXmlElement>(u"e", xkEmptyElement);
    e->Attributes.WriteString(u"v", u"a<b & \"c\" 'd'");
    EXPECT_EQ(WrittenElement(doc, std::move(e)), "<e v=\"a&lt;b &amp; &quot;c&quot; 'd'\"/>");
  }
  {
    TKyXmlFile doc;
    auto e = std::make_unique<TKyXmlElement>(u"t");
    e->Value = U("R&D &amp; &lt x\x01y \xC2\xA0 > \"q\"");
    EXPECT_EQ(WrittenElement(doc, std::move(e)), "<t>R&amp;D &amp;amp; &amp;lt xy &#160; &gt; \"q\"</t>");
  }
  {
    TKyXmlFile doc;
    doc.CharacterEscaping = 2;
    auto e = std::make_unique<TKyXmlElement>(u"t");
    e->Value = U("\xC3\xA9\xC2\x80\xF0\x9F\x98\x80");
    EXPECT_EQ(WrittenElement(doc, std::move(e)), "<t>&#233;\xC2\x80&#128512;</t>");
  }
  {
    TKyXmlFile doc;
    doc.CharacterEscaping = 0;
    auto e = std::make_unique<TKyXmlElement>(u"t");
    e->Value = U("\xC2\xA0");
    EXPECT_EQ(WrittenElement(doc, std::move(e)), "<t>\xC2\xA0</t>");
  }
  {
    TKyXmlFile doc;
    EXPECT_EQ(WrittenElement(doc, std::make_unique<TKyXmlElement>(u"n")), "<n></n>");
    TKyXmlFile doc2;
    EXPECT_EQ(WrittenElement(doc2, std::make_unique<TKyXmlElement>(u"n", xkEmptyElement)), "<n/>");
  }
}

TEST(XmlWriter, ReadReferencesAreWrittenBackInTheirForms) {
  TKyXmlFile doc;
  const RawBytes source =
      "<r a=\"&#x22;&apos;\" b='&#39;'><t>&foo; &#xe9;&#X;</t><u>&#x00e9;&#233;&#x1F600;</u></r>";
  EXPECT_THROW(LoadBytes(doc, source), EConvertError);  // "&#X;" is no number
  const RawBytes good = "<r a=\"&#x22;&apos;\" b='&#39;'><t>&foo; &#xE9;</t><u>&#x00e9;&#x1F600;</u></r>";
  LoadBytes(doc, good);
  RawBytes out = SaveBytes(doc);
  EXPECT_NE(out.find("a=\"&#x22;&apos;\""), std::string::npos) << out;
  EXPECT_NE(out.find("b='&#39;'"), std::string::npos) << out;
  EXPECT_NE(out.find("<t>&foo; &#xE9;</t>"), std::string::npos) << out;
  EXPECT_NE(out.find("<u>&#x00e9;&#x1F600;</u>"), std::string::npos) << out;
}

TEST(XmlWriter, DefaultLayoutIndentsAndKeepsLineBreakKind) {
  TKyXmlFile doc;
  LoadBytes(doc, "<r>\n<a>x</a>\n<b><c/><!--n--></b>t<![CDATA[<d>]]></r>\n");
  EXPECT_EQ(SaveBytes(doc), "<r>\n  <a>x</a>\n  <b>\n    <c/>\n    <!--n-->\n  </b>\n  t\n  <![CDATA[<d>]]>\n</r>\n");
  EXPECT_FALSE(doc.TextFile.WriteBom);
  EXPECT_EQ(doc.TextFile.LineBreak(), u"\n");
}

TEST(XmlWriter, StreamingWriterDetails) {
  TTempDir dir;
  String name = dir.File(u"s.xml");
  TKyXmlFile doc;
  EXPECT_THROW(doc.BeginWrite(u"", true), Exception);
  doc.WriteDeclaration = false;
  doc.BeginWrite(name, true);
  TKyXmlAttributes attrs;
  attrs.WriteString(u"a", u"1");
  attrs.WriteString(u"b", u"2");
  doc.WriteStartElement(u"r", &attrs, u"", false);
  doc.WriteEmptyElement(u"e", &attrs, u"", u"", false);
  doc.WriteTextElement(u"skip", u"d", true, u"d", true);
  doc.WriteTextElement(u"t", u"<x>");
  doc.WriteEndElement();
  EXPECT_THROW(doc.WriteEndElement(), EListError);
  doc.EndWrite();
  EXPECT_EQ(ReadAll(name),
            "\xEF\xBB\xBF<r\r\n  a=\"1\"\r\n  b=\"2\">\r\n"
            "  <e\r\n    a=\"1\"\r\n    b=\"2\"/>\r\n"
            "  <t>&lt;x&gt;</t>\r\n</r>\r\n");
}

TEST(XmlWriter, CodePageOutputEscapesWhatItCannotHold) {
  TTempDir dir;
  String name = dir.File(u"cp.xml");
  TKyXmlFile doc;
  doc.TextFile.SetEncodingName(u"windows-1252");
  doc.BeginWrite(name, true);
  doc.WriteTextElement(u"t", U("\xE2\x82\xAC \xCE\xA9"));
  doc.EndWrite();
  EXPECT_EQ(ReadAll(name), "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<t>\x80 &#x3A9;</t>\r\n");
}

TEST(XmlWriter, OutputAppearsWholeOrNotAtAll) {
  TTempDir dir;
  String name = dir.File(u"ro.xml");
  WriteAll(name, "old");
  SetFileReadOnly(name, true);
  TKyXmlFile doc;
  doc.BeginWrite(name, true);
  doc.WriteTextElement(u"t", u"new");
  try {
    doc.EndWrite();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Could not create the file \"" + name + u"\" because it is read-only");
  }
  SetFileReadOnly(name, false);
  EXPECT_EQ(ReadAll(name), "old");
}

TEST(XmlWriter, PreservingRoundTripsAreByteIdentical) {
  const RawBytes samples[] = {
      kBom + "<?xml version='1.0'  encoding=\"UTF-8\" standalone='yes' ?>\r\n"
             "<!DOCTYPE r [\r\n  <!ENTITY co \"Co\">\r\n]>\r\n"
             "<?style href=\"a.css\"?>\r\n<!-- comment -->\r\n"
             "<r  a = 'x&apos;y'\tb=\"&lt;&amp;&gt;\"\r\n   c=\" spaced \" >\r\n"
             "  <p xml:space=\"preserve\">  mixed <b>bold</b> and &co; &unknown; text  </p>\r\n"
             "  <e/><e />\r\n  <n>&#160;</n><n>&#xA0;</n><n>&#x00a0;</n>\r\n  <![CDATA[ <raw> & ]]>\r\n"
             "  <w>   </w><x></x ><q>\"'</q><q>&quot;&#39;</q>\r\n  <% script %>\r\n</r >\r\n<!-- after -->\r\n",
      "<a>\n\tplain LF file, no BOM: &gt; \xC3\xA4\n</a>",
      "\n\n<svg xmlns=\"http://www.w3.org/2000/svg\"><g><path d=\"M0 0\"/></g></svg>",
      "<r>text &amp; <i>more</i> tail&#x20AC;</r>\r",
  };
  for (const RawBytes& s : samples) EXPECT_EQ(RoundTrip(s), s);

  // UTF-16 documents come back in their byte order with their mark.
  std::u16string text = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<a b=\"\u00FC\">\u4E2D</a>";
  for (bool be : {false, true}) {
    RawBytes bytes;
    for (Char c : text) {
      char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
      bytes += be ? std::string{hi, lo} : std::string{lo, hi};
    }
    EXPECT_EQ(RoundTrip(bytes), bytes) << be;
  }
  // A declared single-byte encoding is written back in the same bytes.
  const RawBytes latin = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>Gr\xFC\xDF""e</a>\n";
  EXPECT_EQ(RoundTrip(latin), latin);
}

TEST(XmlWriter, EverySpellingOfAReadDocumentComesBack) {
  const RawBytes samples[] = {
      // References to whitespace in elements and attributes, next to raw whitespace of the
      // same kind; a code page named by an alias; malformed references kept as unknown.
      "<?xml version=\"1.0\" encoding=\"ASCII\"?>\n"
      "<r a=\"x&#xA;y\" b=\"&#10;&#9;&#09;\" c=\"a&#xD;b\" d=\"1>2 &gt; 3\" e=\"raw\ttab\nlf &#10;\" f=\"&#x0a;\">"
      "<t>&#xA;</t><t>&#xD;</t><u>^%(Identity)&#xD;&#xA;</u><w>line\n..&#10;</w>"
      "<m a=\"&a+b;\">&a+b; &1x; &#; &#x000000041; &#0000065; A &#x3e;&#060; &#xe9;&#xE9; &#233;</m></r>\n",
      // CR LF lines: raw carriage returns in text, around text and in blank elements stay raw.
      "<r>\r\n  <a>line1\r\nline2</a>\r\n  <b> \r\n x &#13;\r\n</b>\r\n  <e>\r\n  </e>\r\n  <f a=\"1\r\n2\"/>\r\n</r>\r\n",
      "<?xml version=\"1.0\" encoding=\"latin1\"?><r>\xE9</r>",
      "<r>&#233;\xC3\xA9 &#x20AC;\xE2\x82\xAC</r>",
  };
  for (const RawBytes& s : samples) EXPECT_EQ(RoundTrip(s), s);

  // What the references stand for is what the reader gives, whitespace included.
  TKyXmlFile doc;
  doc.Options = 0;
  LoadBytes(doc, samples[0]);
  TKyXmlElement* r = doc.Root();
  EXPECT_EQ(r->Attributes.ReadString(u"b"), u"\n\t\t");
  EXPECT_EQ(r->Attributes.ReadString(u"c"), u"a\rb");
  EXPECT_EQ(r->FindElement(u"u")->Value, u"^%(Identity)\r\n");
  EXPECT_EQ(doc.TextFile.CodePage, 20127);
}

TEST(XmlWriter, TabsAndLineBreaksBuiltByCodeReadBackEqual) {
  const String attribute = u"a\tb\nc\r\nd";
  const String text = u"x\r\ny\tz\n";
  for (bool preserving : {false, true}) {
    TKyXmlFile built;
    if (preserving) built.Options |= xoPreserveWhiteSpace;
    auto r = std::make_unique<TKyXmlElement>(u"r");
    r->Attributes.WriteString(u"v", attribute);
    auto t = std::make_unique<TKyXmlElement>(u"t");
    t->ChangeValue(text);
    r->AddElement(std::move(t));
    auto mixed = std::make_unique<TKyXmlElement>(String(), xkText);
    mixed->Value = u"m\rn";
    r->AddElement(std::move(mixed));
    r->AddElement(std::make_unique<TKyXmlElement>(u"e", xkEmptyElement));
    built.AddItem(std::move(r));
    RawBytes out = SaveBytes(built);
    EXPECT_NE(out.find("v=\"a&#9;b&#10;c&#13;&#10;d\""), std::string::npos) << out;
    EXPECT_NE(out.find("<t>x&#13;\ny\tz\n</t>"), std::string::npos) << out;
    EXPECT_NE(out.find("m&#13;n"), std::string::npos) << out;

    TKyXmlFile back;
    back.Options = 0;
    LoadBytes(back, out);
    EXPECT_EQ(back.Root()->Attributes.ReadString(u"v"), attribute);
    EXPECT_EQ(back.Root()->FindElement(u"t")->Value, text);
  }

  // The streaming writer; a code page writes one reference per code point.
  TTempDir dir;
  String name = dir.File(u"cp.xml");
  TKyXmlFile doc;
  doc.TextFile.SetEncodingName(u"windows-1252");
  doc.BeginWrite(name, false);
  TKyXmlAttributes attrs;
  attrs.WriteString(u"a", u"1\n2");
  doc.WriteStartElement(u"r", &attrs);
  doc.WriteTextElement(u"t", u"\r\U0001F600\u00E9");
  doc.WriteEndElement();
  doc.EndWrite();
  EXPECT_EQ(ReadAll(name), "<r a=\"1&#10;2\">\r\n  <t>&#13;&#x1F600;\xE9</t>\r\n</r>\r\n");
}

TEST(XmlWriter, DeepTreeBuiltByCodeIsWritten) {
  constexpr int kDepth = 200000;
  TKyXmlFile doc;
  doc.Options |= xoPreserveWhiteSpace;
  doc.WriteDeclaration = false;
  TKyXmlElement* e = doc.AddItem(std::make_unique<TKyXmlElement>(u"e"));
  for (int i = 1; i < kDepth; ++i) e = e->AddElement(std::make_unique<TKyXmlElement>(u"e"));
  e->ChangeValue(u"x");
  RawBytes out = SaveBytes(doc);
  out.erase(0, 3);  // the byte-order mark
  std::string expected;
  for (int i = 0; i < kDepth; ++i) expected += "<e>";
  expected += "x";
  for (int i = 0; i < kDepth; ++i) expected += "</e>";
  EXPECT_TRUE(out == expected) << out.size();
  // The reader refuses such a depth instead of building it.
  TKyXmlFile back;
  EXPECT_THROW(LoadBytes(back, out), EXmlException);
}
