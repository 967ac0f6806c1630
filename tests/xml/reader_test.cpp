#include <vector>

#include "tests/xml/xmltestutil.h"

namespace {

// The message of the exception that loading Bytes raises.
template <class E = Exception>
String LoadError(const RawBytes& bytes, TKyXmlFile* doc = nullptr) {
  TKyXmlFile own;
  try {
    LoadBytes(doc ? *doc : own, bytes);
  } catch (const E& e) {
    return e.Message();
  }
  return u"(no error)";
}

const RawBytes kBom = "\xEF\xBB\xBF";

}  // namespace

TEST(XmlReader, PackageDescription) {
  TKyXmlFile doc;
  doc.Options = xoTrimText;
  ASSERT_TRUE(LoadBytes(doc, kBom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                    "<info packagename=\"Demo\" created=\"20150504181809\"/>\r\n"));
  ASSERT_EQ(doc.ItemCount(), 2);
  TKyXmlElement* decl = doc.Items(0);
  EXPECT_EQ(decl->Kind(), xkDeclaration);
  ASSERT_EQ(decl->Attributes.Count(), 2);
  EXPECT_EQ(decl->Attributes.Items(0)->Name, u"version");
  EXPECT_EQ(decl->Attributes.Items(1)->Name, u"encoding");
  ASSERT_NE(doc.Root(), nullptr);
  EXPECT_EQ(doc.Root(), doc.Items(1));
  EXPECT_EQ(doc.Root()->Name, u"info");
  EXPECT_EQ(doc.Root()->Kind(), xkEmptyElement);
  EXPECT_EQ(doc.Root()->Attributes.ReadString(u"packagename"), u"Demo");
  EXPECT_EQ(doc.Encoding, u"utf-8");
  EXPECT_TRUE(doc.TextFile.HadBom);
}

TEST(XmlReader, PositionedErrorsCarryLineColumnAndExcerpt) {
  try {
    LoadBytes(*std::make_unique<TKyXmlFile>(), "x<a/>");
    FAIL();
  } catch (const EXmlException& e) {
    EXPECT_EQ(e.Line, 1);
    EXPECT_EQ(e.Column, 1);
    EXPECT_EQ(e.Excerpt, u"x");
    EXPECT_EQ(e.Message(), u"Error parsing XML data.\r\nInvalid at the top level of the document\r\n"
                           u"Line 1, position 1\r\n\"x\"");
  }
  // Line breaks of every kind count once, inside tags too.
  TKyXmlFile doc;
  try {
    LoadBytes(doc, "<a>\r\n<b\n  c=d/>\r\n</a>");
    FAIL();
  } catch (const EXmlException& e) {
    EXPECT_EQ(e.Line, 3);
    EXPECT_EQ(e.Column, 5);
    EXPECT_EQ(e.Excerpt, u"d/>\r\n");
    EXPECT_NE(e.Message().find(u"A string literal was expected, but no opening quote character was found."),
              String::npos);
  }
  // What was read before the error stays in place.
  ASSERT_NE(doc.Root(), nullptr);
  EXPECT_EQ(doc.Root()->Name, u"a");
}

TEST(XmlReader, ErrorMessageNamesTheFile) {
  TTempDir dir;
  String name = dir.File(u"broken.xml");
  WriteAll(name, "<a>\n<1 x=/>");
  TKyXmlFile doc;
  try {
    doc.LoadFromFile(name);
    FAIL();
  } catch (const EXmlException& e) {
    EXPECT_EQ(e.Line, 2);
    String tail = u"\r\n\r\nCan not read \"broken.xml\" file.";
    ASSERT_GE(e.Message().size(), tail.size());
    EXPECT_EQ(e.Message().substr(e.Message().size() - tail.size()), tail);
  }
}

TEST(XmlReader, StructuralErrors) {
  EXPECT_EQ(LoadError("<a><b></a>"), u"\"a\" end tag of the XML file does not match to \"b\" tag");
  EXPECT_EQ(LoadError("<a/><b/>"), u"Only one top level element is allowed in an XML document.");
  EXPECT_EQ(LoadError("<a/></a>"), u"Invalid \"a\" end tag in the XML file");
  EXPECT_EQ(LoadError("<a x='1' x='2'/>"), u"Element already contains x attribute");
  EXPECT_EQ(LoadError("< a/>"), u"Invalid XML file");
  EXPECT_EQ(LoadError("<a></a <b>"), u"Invalid XML file");
  EXPECT_EQ(LoadError("<?xml version=\"1.1\"?><a/>"), u"Unknown XML version: 1.1");
  EXPECT_EQ(LoadError(kBom + "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a/>"),
            u"Can not change the detected \"utf-8\" encoding to the \"windows-1252\" specified by encoding "
            u"attribute. The XML data is invalid.");
  // Truncated input ends with a positioned error, never with a hang or a crash.
  for (const char* cut : {"<", "<a", "<a x=", "<a x='1", "<!--", "<![CDATA[x", "<?pi", "<!DOCTYPE a [", "<a></"})
    EXPECT_NE(LoadError<EXmlException>(cut), u"(no error)") << cut;
  std::string deep;
  for (int i = 0; i < 1001; ++i) deep += "<d>";
  EXPECT_NE(LoadError<EXmlException>(deep).find(u"nested more than 1000 levels"), String::npos);
  // Stray text and open elements are accepted, as are documents without an element.
  EXPECT_EQ(LoadError("<a><b>"), u"(no error)");
  EXPECT_EQ(LoadError("<!--only a comment-->"), u"(no error)");
  EXPECT_EQ(LoadError(""), u"(no error)");
}

TEST(XmlReader, TextWhitespaceRules) {
  TKyXmlFile doc;
  LoadBytes(doc, "<r><a>  x  </a><b>   </b><c xml:space=\"preserve\">  y </c><d>t<e/>u</d></r>");
  TKyXmlElement* r = doc.Root();
  ASSERT_EQ(r->ElementCount(), 4);
  TKyXmlElement* a = r->Elements(0);
  EXPECT_EQ(a->Value, u"x");
  EXPECT_EQ(a->LeadingSpace, u"  ");
  EXPECT_EQ(a->TrailingSpace, u"  ");
  EXPECT_EQ(a->ElementCount(), 0);
  EXPECT_EQ(r->Elements(1)->Value, u"   ");
  EXPECT_EQ(r->Elements(2)->Value, u"  y ");
  // Mixed content stays as child nodes.
  TKyXmlElement* d = r->Elements(3);
  ASSERT_EQ(d->ElementCount(), 3);
  EXPECT_EQ(d->Elements(0)->Kind(), xkText);
  EXPECT_EQ(d->Elements(2)->Value, u"u");
  EXPECT_TRUE(d->HasText);

  // Without trimming, text keeps its whitespace; without preserving, whitespace-only text is dropped.
  TKyXmlFile raw;
  raw.Options = 0;
  LoadBytes(raw, "<r>\n  <a> x </a>\n</r>");
  ASSERT_EQ(raw.Root()->ElementCount(), 1);
  EXPECT_EQ(raw.Root()->Elements(0)->Value, u" x ");

  TKyXmlFile keep;
  keep.Options = xoPreserveWhiteSpace | xoTrimText;
  LoadBytes(keep, "<r>\n  <a/>\n</r>\n");
  ASSERT_EQ(keep.Root()->ElementCount(), 3);
  EXPECT_EQ(keep.Root()->Elements(0)->Kind(), xkWhiteSpace);
  EXPECT_EQ(keep.Root()->Elements(0)->Value, u"\n  ");
  ASSERT_EQ(keep.ItemCount(), 2);
  EXPECT_EQ(keep.Items(1)->Kind(), xkWhiteSpace);
}

TEST(XmlReader, ReferencesAndRememberedForms) {
  TKyXmlFile doc;
  LoadBytes(doc, "<r><a x='1&quot;2'/><b>&#x0041;&#65;&#xe9;&#xE9;</b><c>&lt;&#62;&#x3c;</c><d>&foo; &amp; x</d></r>");
  TKyXmlElement* r = doc.Root();
  TKyXmlAttribute* x = r->Elements(0)->Attributes.Find(u"x");
  EXPECT_EQ(x->Value, u"1\"2");
  EXPECT_EQ(x->QuoteKind, 1);
  EXPECT_EQ(x->SpecialCharForms[scQuot], efNamed);
  EXPECT_EQ(x->SpecialCharForms[scApos], efNamed);  // its own delimiter

  TKyXmlElement* b = r->Elements(1);
  EXPECT_EQ(b->Value, U("AA\xC3\xA9\xC3\xA9"));
  ASSERT_NE(b->CharacterFormsOrNull(), nullptr);
  const TXmlEntityData* A = b->CharacterFormsOrNull()->Find(u'A');
  ASSERT_NE(A, nullptr);
  EXPECT_EQ(A->Forms, efHex | efDecimal);
  EXPECT_EQ(A->HexCase, 0);
  EXPECT_TRUE(A->HexLeadingZero);
  const TXmlEntityData* e = b->CharacterFormsOrNull()->Find(0xE9);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->HexCase, 3);
  EXPECT_FALSE(e->HexLeadingZero);

  TKyXmlElement* c = r->Elements(2);
  EXPECT_EQ(c->Value, u"<><");
  EXPECT_EQ(c->SpecialCharForms[scLt], efNamed | efHex);
  EXPECT_EQ(c->SpecialCharForms[scGt], efDecimal);
  // The table's write modes follow the spellings the document used.
  EXPECT_EQ(doc.Entities.EntityModes[scLt], emNamed);
  EXPECT_EQ(doc.Entities.EntityModes[scGt], emDecimal);

  EXPECT_EQ(r->Elements(3)->Value, u"&foo; & x");
  EXPECT_TRUE(doc.Entities.IsUnknown(u"foo"));
  EXPECT_EQ(doc.Entities.UnknownEntities.Count(), 1);

  XmlUnknownEntityIsError = true;
  String strict = LoadError("<a>&foo;</a>");
  XmlUnknownEntityIsError = false;
  EXPECT_EQ(strict, u"Entity \"&foo;\" is unknown. Use plain characters (e.g. \"A\") or numeric entities "
                    u"(e.g. \"&#65;\" or \"&#x41;\").");

  EXPECT_THROW(LoadBytes(doc, "<a>&#xZZ;</a>"), EConvertError);
  EXPECT_THROW(LoadBytes(doc, "<a>&#12a;</a>"), EConvertError);
  // A reference above U+FFFF becomes a surrogate pair, not a truncated code; leading
  // zeros are valid however many.
  LoadBytes(doc, "<a>&#x1F600;&#x000000041;&#0000000000066;</a>");
  EXPECT_EQ(doc.Root()->Value, U("\xF0\x9F\x98\x80" "AB"));
  EXPECT_THROW(LoadBytes(doc, "<a>&#x110000;</a>"), EConvertError);
  EXPECT_THROW(LoadBytes(doc, "<a>&#99999999999999999999;</a>"), EConvertError);
}

TEST(XmlReader, InternalSubsetEntities) {
  TKyXmlFile doc;
  LoadBytes(doc,
            "<!DOCTYPE r [\n"
            "  <!ENTITY co \"Tramvelon &amp; Co\">\n"
            "  <!-- <!ENTITY ignored \"x\"> -->\n"
            "  <!ENTITY % pe '<!ENTITY viape \"via pe\">'>\n"
            "  %pe;\n"
            "  <!ENTITY tag \"<b>bold</b>\">\n"
            "  <!ENTITY both \"&co;!\">\n"
            "]>\n"
            "<r a=\"&co;\"><t>&co;</t><m>&tag;</m><p>&viape;</p><q>&both;</q><u>&ignored;</u></r>");
  ASSERT_EQ(doc.Items(0)->Kind(), xkDocType);
  TKyXmlElement* r = doc.Root();
  EXPECT_EQ(r->Attributes.ReadString(u"a"), u"&co;");  // attributes expand predefined entities only
  EXPECT_EQ(r->FindElement(u"t")->Value, u"Tramvelon & Co");
  TKyXmlElement* m = r->FindElement(u"m");
  ASSERT_NE(m->FindElement(u"b"), nullptr);  // markup in replacement text is parsed
  EXPECT_EQ(m->FindElement(u"b")->Value, u"bold");
  EXPECT_EQ(r->FindElement(u"p")->Value, u"via pe");
  EXPECT_EQ(r->FindElement(u"q")->Value, u"Tramvelon & Co!");
  EXPECT_EQ(r->FindElement(u"u")->Value, u"&ignored;");
  EXPECT_TRUE(doc.Entities.FindEntity(u"co")->Used);

  // Without bit 1 internal entities stay as written.
  TKyXmlFile plain;
  plain.EntityKinds = ekPredefined;
  LoadBytes(plain, "<!DOCTYPE r [<!ENTITY co \"x\">]><r>&co;&amp;</r>");
  EXPECT_EQ(plain.Root()->Value, u"&co;&");
}

TEST(XmlReader, EntityBombsAreRefused) {
  std::string dtd = "<!DOCTYPE r [<!ENTITY a0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
  for (int i = 1; i < 10; ++i)
    dtd += "<!ENTITY a" + std::to_string(i) + " \"" + std::string(10, ' ') + "\">";
  std::string bomb = "<!DOCTYPE r [<!ENTITY a0 \"0123456789\">";
  for (int i = 1; i < 9; ++i) {
    bomb += "<!ENTITY a" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) bomb += "&a" + std::to_string(i - 1) + ";";
    bomb += "\">";
  }
  bomb += "]><r>&a8;</r>";
  TKyXmlFile doc;
  doc.Entities.MaxExpansion = 1u << 20;
  EXPECT_NE(LoadError(bomb, &doc).find(u"Entity expansion exceeds"), String::npos);
  // An entity whose replacement text names itself again through markup.
  TKyXmlFile self;
  self.Entities.MaxExpansion = 100000;
  EXPECT_NE(LoadError("<!DOCTYPE r [<!ENTITY e \"x<t/>&e;\">]><r>&e;</r>", &self).find(u"Entity expansion"),
            String::npos);
  TKyXmlFile loop;
  EXPECT_NE(LoadError("<!DOCTYPE r [<!ENTITY % p \"%p;%p;\"> %p;]><r/>", &loop).find(u"Entity expansion"),
            String::npos);

  // The bound is on what expansion adds, not on the text around the references: many
  // short expansions and long text with a reference load under a small bound.
  std::string many = "<!DOCTYPE r [<!ENTITY e \"\xC3\xA9\">]><r><a>";
  for (int i = 0; i < 5000; ++i) many += "&e;";
  many += "</a><b>" + std::string(5000, 'x') + "&amp;</b><c a=\"" + std::string(5000, 'y') + "&amp;\"/></r>";
  TKyXmlFile small;
  small.Entities.MaxExpansion = 1000;
  LoadBytes(small, many);
  EXPECT_EQ(small.Root()->FindElement(u"a")->Value.size(), 5000u);
  EXPECT_EQ(small.Root()->FindElement(u"b")->Value.size(), 5001u);
}

TEST(XmlReader, ExternalDtdAndEntities) {
  TTempDir dir;
  WriteAll(dir.File(u"names.dtd"), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                                   "<!ENTITY city \"Z\xFCrich\">\n<!ENTITY % more SYSTEM \"more.ent\">\n%more;\n");
  WriteAll(dir.File(u"more.ent"), "<!ENTITY river \"Limmat\">");
  WriteAll(dir.File(u"doc.xml"), "<!DOCTYPE r SYSTEM \"names.dtd\"><r>&city; &river;</r>");
  TKyXmlFile doc;
  doc.LoadFromFile(dir.File(u"doc.xml"));
  EXPECT_EQ(doc.Root()->Value, U("Z\xC3\xBCrich Limmat"));

  TKyXmlFile ignoring;
  ignoring.IgnoreExternalDtd = true;
  ignoring.LoadFromFile(dir.File(u"doc.xml"));
  EXPECT_EQ(ignoring.Root()->Value, u"&city; &river;");

  // A UTF-16 entity file with a byte-order mark is markup like any other: its declaration
  // goes, and the document around it stays UTF-8.
  std::u16string part = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><b>\u00E9\u4E2D</b>";
  RawBytes partBytes;
  for (Char c : part) partBytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  WriteAll(dir.File(u"part.xml"), partBytes);
  WriteAll(dir.File(u"whole.xml"),
           "<!DOCTYPE r [<!ENTITY part SYSTEM \"part.xml\">]><r><a>&part;</a><c>\xC3\xBC</c></r>");
  TKyXmlFile whole;
  whole.LoadFromFile(dir.File(u"whole.xml"));
  TKyXmlElement* a = whole.Root()->FindElement(u"a");
  ASSERT_EQ(a->ElementCount(), 1);
  EXPECT_EQ(a->Elements(0)->Name, u"b");
  EXPECT_EQ(a->Elements(0)->Value, u"\u00E9\u4E2D");
  EXPECT_EQ(whole.Root()->FindElement(u"c")->Value, u"\u00FC");
  EXPECT_EQ(whole.TextFile.Encoding, TKyTextFile::ekUtf8);

  WriteAll(dir.File(u"missing.xml"), "<!DOCTYPE r SYSTEM \"nowhere.dtd\"><r/>");
  TKyXmlFile missing;
  try {
    missing.LoadFromFile(dir.File(u"missing.xml"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Could not find the included file: nowhere.dtd");
  }
}

TEST(XmlReader, HttpDtdGoesThroughTheFetchHook) {
  std::vector<String> asked;
  SetXmlHttpFetch([&](const String& url, RawBytes& body) {
    asked.push_back(url);
    if (url == u"http://127.0.0.1/dtd/main.dtd") {
      body = "<!ENTITY e SYSTEM \"part.ent\"><!ENTITY name \"main\">";
      return true;
    }
    if (url == u"http://127.0.0.1/dtd/part.ent") {
      body = "part";
      return true;
    }
    return false;
  });
  TKyXmlFile doc;
  LoadBytes(doc, "<!DOCTYPE r PUBLIC \"-//X//Y\" \"http://127.0.0.1/dtd/main.dtd\"><r>&name;-&e;</r>");
  SetXmlHttpFetch(nullptr);
  EXPECT_EQ(doc.Root()->Value, u"main-part");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(doc.Entities.BaseDir, u"http://127.0.0.1/dtd/");
  // Without a hook an address gives empty text and the load goes on.
  TKyXmlFile none;
  LoadBytes(none, "<!DOCTYPE r SYSTEM \"http://127.0.0.1/x.dtd\"><r>&name;</r>");
  EXPECT_EQ(none.Root()->Value, u"&name;");
}

TEST(XmlReader, EncodingsAndDeclarationSwitch) {
  TKyXmlFile doc;
  LoadBytes(doc, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>Gr\xFC\xDF""e \x80</a>");
  EXPECT_EQ(doc.Root()->Value, U("Gr\xC3\xBC\xC3\x9F""e \xC2\x80"));
  EXPECT_EQ(doc.TextFile.EncodingName(), u"iso-8859-1");
  LoadBytes(doc, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<a>\x80</a>");
  EXPECT_EQ(doc.Root()->Value, U("\xE2\x82\xAC"));
  // A declared encoding is recorded but not applied with xoIgnoreEncoding.
  TKyXmlFile ignore;
  ignore.Options = xoIgnoreEncoding | xoTrimText;
  LoadBytes(ignore, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xBC</a>");
  EXPECT_EQ(ignore.Encoding, u"ISO-8859-1");
  EXPECT_EQ(ignore.Root()->Value, U("\xC3\xBC"));

  // UTF-16 in both byte orders, with and without a byte-order mark.
  std::u16string text = u"<a>\u00FC\u4E2D</a>";
  for (bool be : {false, true})
    for (bool bom : {false, true}) {
      RawBytes bytes;
      if (bom) bytes = be ? "\xFE\xFF" : "\xFF\xFE";
      for (Char c : text) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        bytes += be ? std::string{hi, lo} : std::string{lo, hi};
      }
      TKyXmlFile u16;
      LoadBytes(u16, bytes);
      ASSERT_NE(u16.Root(), nullptr);
      EXPECT_EQ(u16.Root()->Value, u"\u00FC\u4E2D");
      EXPECT_EQ(u16.TextFile.Encoding, be ? TKyTextFile::ekUtf16BE : TKyTextFile::ekUtf16LE);
    }
  EXPECT_THROW(LoadBytes(doc, "<a>\xC3\x28</a>"), EUft8Exception);
}

TEST(XmlReader, LargeDocumentAcrossBufferBoundaries) {
  // Multi-byte characters, long CDATA and long text cross every read block.
  std::string body;
  std::string word = "\xC3\xA4\xE4\xB8\xAD\xF0\x9F\x98\x80 ";
  for (int i = 0; i < 3000; ++i) {
    body += "<item n=\"" + std::to_string(i) + "\">" + word + std::to_string(i) + "</item>\n";
    if (i % 500 == 0) body += "<![CDATA[" + std::string(70000, 'c') + "<>]]>";
  }
  std::string big(200000, 't');
  TKyXmlFile doc;
  LoadBytes(doc, "<r>" + body + "<long>" + big + "</long></r>");
  TKyXmlElement* r = doc.Root();
  int items = 0, cdata = 0;
  for (int i = 0; i < r->ElementCount(); ++i) {
    TKyXmlElement* e = r->Elements(i);
    if (e->Name == u"item") {
      EXPECT_EQ(e->Value, U(word.c_str()) + IntToStr(items));
      EXPECT_EQ(e->SameNameIndex, items);
      ++items;
    }
    if (e->Kind() == xkCData) {
      EXPECT_EQ(e->Value.size(), 70002u);
      ++cdata;
    }
  }
  EXPECT_EQ(items, 3000);
  EXPECT_EQ(cdata, 6);
  EXPECT_EQ(r->FindElement(u"long")->Value.size(), big.size());
}

TEST(XmlReader, ElementByElementReading) {
  const RawBytes source = "<r><a id='1'><x/></a><b id='2'><y>t</y></b><c id='3'/><d/></r>";
  std::vector<String> seen;
  TKyXmlFile doc;
  doc.OnElement = [&](TKyXmlFile*, TKyXmlElement* e, Byte& action) {
    seen.push_back(e->Name.Str());
    if (e->Name == u"b") action = 1;  // b's content is read into it and passed over
    if (e->Name == u"c") action = 2;
  };
  EXPECT_FALSE(LoadBytes(doc, source));
  EXPECT_TRUE(doc.Stopped);
  EXPECT_EQ(seen, (std::vector<String>{u"r", u"a", u"x", u"b", u"c"}));
  EXPECT_EQ(doc.Root(), nullptr);
  // The flag stays set, but the next load still reads the whole document.
  doc.OnElement = nullptr;
  EXPECT_FALSE(LoadBytes(doc, source));
  ASSERT_NE(doc.Root(), nullptr);
  EXPECT_EQ(doc.Root()->ElementCount(), 4);

}

TEST(XmlReader, ProgressReportsAndStops) {
  std::string body = "<r>";
  for (int i = 0; i < 20000; ++i) body += "<i>" + std::to_string(i) + "</i>";
  body += "</r>";
  std::vector<int> percents;
  TKyXmlFile doc;
  doc.OnProgress = [&](TKyXmlFile*, int p, bool&) { percents.push_back(p); };
  EXPECT_TRUE(LoadBytes(doc, body));
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  for (size_t i = 1; i < percents.size(); ++i) EXPECT_GT(percents[i], percents[i - 1]);

  TKyXmlFile stopping;
  stopping.OnProgress = [&](TKyXmlFile*, int p, bool& stop) { stop = p >= 50; };
  EXPECT_FALSE(LoadBytes(stopping, body));
  EXPECT_TRUE(stopping.Stopped);
  EXPECT_LT(stopping.Root()->ElementCount(), 20000);
  EXPECT_GT(stopping.Root()->ElementCount(), 0);
}

TEST(XmlReader, DeclarationOnlyLeavesTheRestForTheTextFile) {
  TTempDir dir;
  WriteAll(dir.File(u"d.xml"), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\nline \xE9\r\n<a/>");
  TKyXmlFile doc;
  doc.DeclarationOnly = true;
  doc.LoadFromFile(dir.File(u"d.xml"));
  EXPECT_EQ(doc.ItemCount(), 1);
  String rest, line;
  while (doc.TextFile.ReadLine(line)) rest += line;
  EXPECT_EQ(rest, U("\r\nline \xC3\xA9\r\n<a/>"));
}

TEST(XmlReader, SameTreeOnSecondLoad) {
  const RawBytes source = "<?xml version=\"1.0\"?><!--c--><r a='1'><b>x &amp; y</b><c/>tail</r>";
  TKyXmlFile doc;
  LoadBytes(doc, source);
  RawBytes first = SaveBytes(doc);
  LoadBytes(doc, source);
  EXPECT_EQ(doc.ItemCount(), 3);
  EXPECT_EQ(SaveBytes(doc), first);
}
