// The form stream format, the text form and the form reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/ui/kycomponent.h"
#include "lib/ui/kyformstream.h"
#include "lib/ui/kyformtext.h"

namespace {

RawBytes Bytes(std::initializer_list<int> b) {
  RawBytes r;
  for (int c : b) r += static_cast<char>(c);
  return r;
}

RawBytes Short(const std::string& s) { return static_cast<char>(s.size()) + s; }

TEST(FormStream, DecodesEveryValueTypeFieldByField) {
  RawBytes s = "TPF0";
  s += Bytes({0xF1}) + Short("TForm1") + Short("Form1");
  s += Short("I8") + Bytes({2, 0xFE});
  s += Short("I16") + Bytes({3, 0x00, 0x80});
  s += Short("I32") + Bytes({4, 0x78, 0x56, 0x34, 0x12});
  s += Short("Ext") + Bytes({5, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F});  // 1.5
  s += Short("Str") + Bytes({6}) + Short("Hi");
  s += Short("Id") + Bytes({7}) + Short("clRed");
  s += Short("F") + Bytes({8}) + Short("T") + Bytes({9 | 0x80});  // high bit is ignored
  s += Short("Bin") + Bytes({10, 2, 0, 0, 0, 0xAB, 0xCD});
  s += Short("Set") + Bytes({11}) + Short("a") + Short("b") + Bytes({0});
  s += Short("LStr") + Bytes({12, 3, 0, 0, 0}) + "abc";
  s += Short("Nil") + Bytes({13});
  s += Short("Sgl") + Bytes({15, 0, 0, 0x20, 0x40});  // 2.5f
  s += Short("Cur") + Bytes({16, 0x10, 0x27, 0, 0, 0, 0, 0, 0});  // 1.0
  s += Short("Date") + Bytes({17, 1, 2, 3, 4, 5, 6, 7, 8});
  s += Short("WStr") + Bytes({18, 2, 0, 0, 0, 0x42, 0x04, 0x3A, 0x04});
  s += Short("I64") + Bytes({19, 1, 0, 0, 0, 1, 0, 0, 0});
  s += Short("U8") + Bytes({20, 2, 0, 0, 0, 0xC3, 0xA9});
  s += Short("Dbl") + Bytes({21, 0, 0, 0, 0, 0, 0, 0xF0, 0xBF});  // -1.0
  s += Short("Items.Strings") + Bytes({1, 6}) + Short("x") + Bytes({6}) + Short("y") + Bytes({0});
  s += Short("Ends") + Bytes({1, 2, 7, 0x80});  // a Null type byte with the high bit ends a list too
  s += Short("Coll") + Bytes({14, 2, 5, 1}) + Short("Caption") + Bytes({6}) + Short("c") + Bytes({0, 1, 0, 0});
  s += Bytes({0});
  s += Bytes({0xF2, 2, 3}) + Short("TLabel") + Short("") + Bytes({0, 0});
  s += Bytes({0});  // the root's children end

  TFormRecord r = ReadFormStream(s);
  EXPECT_TRUE(r.HasPrefix);
  EXPECT_EQ(r.Flags, ffInherited);
  EXPECT_EQ(r.ClassName, "TForm1");
  EXPECT_EQ(r.Name, "Form1");
  auto v = [&](const char* p) { return r.FindProperty(p)->Value; };
  EXPECT_EQ(v("I8").Int, -2);
  EXPECT_EQ(v("I16").Int, -32768);
  EXPECT_EQ(v("I32").Int, 0x12345678);
  EXPECT_DOUBLE_EQ(v("Ext").Float, 1.5);
  EXPECT_EQ(v("Str").AsText(), u"Hi");
  EXPECT_EQ(v("Id").Type, TValueType::vaIdent);
  EXPECT_EQ(v("Id").Bytes, "clRed");
  EXPECT_EQ(v("F").Type, TValueType::vaFalse);
  EXPECT_EQ(v("T").Type, TValueType::vaTrue);
  EXPECT_EQ(v("Bin").Bytes, "\xAB\xCD");
  EXPECT_EQ(v("Set").SetElements, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(v("LStr").AsText(), u"abc");
  EXPECT_TRUE(v("Nil").IsEmpty());
  EXPECT_DOUBLE_EQ(v("Sgl").Float, 2.5);
  EXPECT_EQ(v("Cur").Int, 10000);
  EXPECT_EQ(v("Date").Int, 0x0807060504030201);
  EXPECT_EQ(v("WStr").AsText(), u"\u0442\u043A");
  EXPECT_EQ(v("I64").Int, 0x100000001LL);
  EXPECT_EQ(v("U8").AsText(), u"\u00E9");
  EXPECT_DOUBLE_EQ(v("Dbl").Float, -1.0);
  ASSERT_EQ(v("Items.Strings").Items.size(), 2u);
  EXPECT_EQ(v("Items.Strings").Items[1].AsText(), u"y");
  ASSERT_EQ(v("Coll").Collection.size(), 2u);
  EXPECT_EQ(v("Coll").Collection[0].Index, 5);
  EXPECT_EQ(v("Coll").Collection[0].Properties[0].Value.AsText(), u"c");
  EXPECT_FALSE(v("Coll").Collection[1].Index.has_value());
  ASSERT_EQ(r.Children.size(), 1u);
  EXPECT_EQ(r.Children[0].ChildPos, 3);
  EXPECT_TRUE(r.Children[0].Name.empty());

  // The writer gives back exactly the bytes, but for the ignored high bit of one type byte.
  RawBytes expected = s;
  expected[expected.find(static_cast<char>(9 | 0x80))] = 9;
  expected[expected.find(std::string("\x02\x07\x80", 3)) + 2] = 0;
  EXPECT_EQ(r.FindProperty("Ends")->Value.Items.size(), 1u);
  RawBytes written = WriteFormStream(r);
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_EQ(written.compare(expected), 0) << "first difference at "
                                           << std::mismatch(written.begin(), written.end(), expected.begin()).first - written.begin();
}

TEST(FormStream, DamagedStreamsGiveClearErrors) {
  RawBytes good = "TPF0" + Short("TForm") + Short("F") + Short("Caption") + Bytes({6}) + Short("abc") + Bytes({0, 0});
  ASSERT_NO_THROW(ReadFormStream(good));
  // Every truncation is an error, never a read past the end.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_THROW(ReadFormStream(good.substr(0, n)), EFormStreamError) << n;
  }
  EXPECT_THROW(ReadFormStream("TPF1" + good.substr(4)), EFormStreamError);
  RawBytes badType = good;
  badType[badType.find('\x06')] = 22;
  try {
    ReadFormStream(badType);
    FAIL();
  } catch (const EFormStreamError& e) {
    EXPECT_NE(e.Message().find(u"Unknown value type"), String::npos);
  }
  // A huge declared length is refused before anything is allocated.
  RawBytes huge = "TPF0" + Short("T") + Short("") + Short("P") + Bytes({18, 0xFF, 0xFF, 0xFF, 0x7F}) + "ab";
  EXPECT_THROW(ReadFormStream(huge), EFormStreamError);
  // Deep nesting ends in an error, not a stack overflow.
  RawBytes deep = "TPF0";
  for (int i = 0; i < 100000; ++i) deep += Short("T") + Short("") + Bytes({0});
  EXPECT_THROW(ReadFormStream(deep), EFormStreamError);
  RawBytes lists = "TPF0" + Short("T") + Short("") + Short("P") + RawBytes(100000, '\x01');
  EXPECT_THROW(ReadFormStream(lists), EFormStreamError);
}

TEST(FormStream, ExtendedConversionRoundTrips) {
  for (double d : {0.0, 1.0, -2.5, 10.5, 1e300, -1e-300, 3.141592653589793, 5e-324}) {
    Byte ten[10];
    DoubleToExtended(d, ten);
    EXPECT_EQ(ExtendedToDouble(ten), d);
  }
  Byte ten[10];
  DoubleToExtended(1.0, ten);
  EXPECT_EQ(ten[7], 0x80);
  EXPECT_EQ(ten[8], 0xFF);
  EXPECT_EQ(ten[9], 0x3F);
  DoubleToExtended(-INFINITY, ten);
  EXPECT_TRUE(std::isinf(ExtendedToDouble(ten)) && ExtendedToDouble(ten) < 0);
}

const char* kSample = R"(// a comment
object Dialog: TDialog
  Caption = 'It''s ' + 'done'#13#10
  Width = 377
  Big = 70000
  Neg = -129
  Hex = $FF
  Ratio = 1.25
  Font.Style = [fsBold, fsUnderline]
  Visible = False
  Arabic = 'سلام'
  Items.Strings = (
    'One'
    'Two')
  OnClick = DialogClick
  Data = {0A0b
    FF}
  Cols = <
    item
      Caption = 'A'
    end
    item [2]
    end>
  object Label1: TLabel [1]
    Caption = ''
  end
  inherited Button1: TButton
  end
end
)";

TEST(FormText, ParsesEveryValueForm) {
  TFormRecord r = ParseFormText(kSample, u"Dialog.txt");
  EXPECT_EQ(r.Name, "Dialog");
  EXPECT_EQ(r.ClassName, "TDialog");
  auto v = [&](const char* p) { return r.FindProperty(p)->Value; };
  EXPECT_EQ(v("Caption").AsText(), u"It's done\r\n");
  EXPECT_EQ(v("Width").Type, TValueType::vaInt16);
  EXPECT_EQ(v("Big").Type, TValueType::vaInt32);
  EXPECT_EQ(v("Neg").Type, TValueType::vaInt16);
  EXPECT_EQ(v("Neg").Int, -129);
  EXPECT_EQ(v("Hex").Int, 255);
  EXPECT_EQ(v("Ratio").Type, TValueType::vaExtended);
  EXPECT_EQ(v("Font.Style").SetElements, (std::vector<std::string>{"fsBold", "fsUnderline"}));
  EXPECT_EQ(v("Visible").Type, TValueType::vaFalse);
  EXPECT_EQ(v("Arabic").Type, TValueType::vaWString);
  EXPECT_EQ(v("Arabic").AsText(), u"\u0633\u0644\u0627\u0645");
  EXPECT_EQ(v("Items.Strings").Items.size(), 2u);
  EXPECT_EQ(v("OnClick").Bytes, "DialogClick");
  EXPECT_EQ(v("Data").Bytes, "\x0A\x0B\xFF");
  EXPECT_EQ(v("Cols").Collection.size(), 2u);
  EXPECT_EQ(v("Cols").Collection[1].Index, 2);
  ASSERT_EQ(r.Children.size(), 2u);
  EXPECT_EQ(r.Children[0].ChildPos, 1);
  EXPECT_EQ(r.Children[1].Flags, ffInherited);

  // Text -> stream -> text -> stream is stable.
  RawBytes s1 = WriteFormStream(r);
  TFormRecord again = ParseFormText(FormToText(ReadFormStream(s1)), u"x");
  EXPECT_EQ(WriteFormStream(again), s1);
}

TEST(FormText, MalformedFormsNameFileLineAndReason) {
  struct {
    const char* text;
    int line;
    const char* reason;
  } cases[] = {
      {"object A: TA\n  Caption = 'open\nend\n", 2, "unterminated string"},
      {"object A: TA\n  Width = \nend\n", 3, "value expected"},
      {"object A: TA\n  Width 5\nend\n", 2, "'=' expected"},
      {"object A: TA\n  object B: TB\n  end\n", 4, "'end' expected"},
      {"thing A: TA\nend\n", 1, "'object'"},
      {"object A: TA\nend\nobject B: TB\nend\n", 3, "text after"},
      {"object A: TA\n  X = 99999999999999999999\nend\n", 2, "out of range"},
      {"object A: TA\n  X = {ABC}\nend\n", 2, "odd number"},
      {"object A: TA\n  X = [a b]\nend\n", 2, "',' expected"},
      {"object A: TA\n  X = #70000\nend\n", 2, "out of range"},
      {"object A: TA\n  X = 'a' +\nend\n", 3, "string expected"},
      {"object A: TA\n  object B: TB\n  end\n  X = 1\nend\n", 4, "before the child"},
  };
  for (const auto& c : cases) {
    try {
      ParseFormText(c.text, u"bad.txt");
      ADD_FAILURE() << c.text;
    } catch (const EFormTextError& e) {
      EXPECT_EQ(e.Line, c.line) << c.text;
      EXPECT_EQ(e.Message().rfind(u"bad.txt(" + IntToStr(c.line) + u"): ", 0), 0u) << e.what();
      EXPECT_NE(e.Message().find(Utf8ToString(c.reason)), String::npos) << e.what();
    }
  }
}

// A component with one property of each kind the reader converts.
class TWidget : public TKyComponent {
 public:
  using TKyComponent::TKyComponent;
  static const TClassInfo& Info() {
    static const std::vector<String> align = {u"alNone", u"alTop", u"alClient"};
    static const std::vector<String> styles = {u"fsBold", u"fsItalic", u"fsUnderline"};
    static const TIdentTable colors = {{u"clRed", 255}, {u"clBlack", 0}};
    static const TClassInfo info(
        u"TWidget", &TKyComponent::StaticClassInfo(),
        {props::Str<TWidget>(u"Caption", &TWidget::Caption, &TWidget::SetCaption),
         props::Int<TWidget>(u"Width", &TWidget::Width, &TWidget::SetWidth, 0, 10000),
         props::Int<TWidget>(u"Color", &TWidget::Color, &TWidget::SetColor, INT32_MIN, INT32_MAX, &colors),
         props::Bool<TWidget>(u"Visible", &TWidget::Visible, &TWidget::SetVisible),
         props::Enum<TWidget, int>(u"Align", &TWidget::Align, &TWidget::SetAlign, &align),
         props::Set<TWidget>(u"Style", &TWidget::Style, &TWidget::SetStyle, &styles),
         props::Float<TWidget>(u"Size", &TWidget::Size, &TWidget::SetSize),
         props::Object<TWidget, TKyStrings>(u"Items", &TWidget::Items),
         props::Object<TWidget, TWidget>(u"Inner", &TWidget::InnerObject),
         props::Ref<TWidget, TWidget>(u"Buddy", &TWidget::Buddy, &TWidget::SetBuddy),
         props::Event_<TWidget, std::function<void(TKyComponent*)>>(u"OnClick", &TWidget::OnClick)});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return Info(); }
  String Caption() const { return Caption_; }
  void SetCaption(const String& s) { Caption_ = s; ++Sets; }
  int Width() const { return Width_; }
  void SetWidth(int v) { Width_ = v; }
  int Color() const { return Color_; }
  void SetColor(int v) { Color_ = v; }
  bool Visible() const { return Visible_; }
  void SetVisible(bool v) { Visible_ = v; }
  int Align() const { return Align_; }
  void SetAlign(int v) { Align_ = v; }
  std::uint32_t Style() const { return Style_; }
  void SetStyle(std::uint32_t v) { Style_ = v; }
  double Size() const { return Size_; }
  void SetSize(double v) { Size_ = v; }
  TKyStrings* Items() { return &Items_; }
  TWidget* InnerObject() { return Inner_; }
  TWidget* Buddy() const { return Buddy_; }
  void SetBuddy(TWidget* w) { Buddy_ = w; }
  void SetParentComponent(TKyComponent* p) override { Parent = p; }
  void Loaded() override {
    TKyComponent::Loaded();
    ++LoadedCalls;
  }
  std::function<void(TKyComponent*)> OnClick;
  TKyComponent* Parent = nullptr;
  TWidget* Inner_ = nullptr;
  int Sets = 0;
  int LoadedCalls = 0;

 private:
  String Caption_;
  int Width_ = 0, Color_ = 0, Align_ = 0;
  bool Visible_ = true;
  std::uint32_t Style_ = 0;
  double Size_ = 0;
  TKyStringVector Items_;
  TWidget* Buddy_ = nullptr;
};

class TWidgetForm : public TWidget {
 public:
  using TWidget::TWidget;
  static const TClassInfo& Info() {
    static const TClassInfo info(u"TWidgetForm", &TWidget::Info(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return Info(); }
};

class TDerivedForm : public TWidgetForm {
 public:
  using TWidgetForm::TWidgetForm;
  static const TClassInfo& Info() {
    static const TClassInfo info(u"TDerivedForm", &TWidgetForm::Info(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return Info(); }
};

RawBytes Compile(const char* text) { return WriteFormStream(ParseFormText(text, u"t.txt")); }

class FormReader : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterComponentClass(u"TWidget", [](TKyComponent* owner) { return new TWidget(owner); });
  }
#ifndef _WIN32
  void TearDown() override { ClearNativeResources(); }
#endif
};

TEST_F(FormReader, AssignsEveryKindAndBuildsTheTree) {
  TWidgetForm form(nullptr);
  int clicks = 0;
  form.RegisterHandler(u"PanelClick", std::function<void(TKyComponent*)>([&](TKyComponent*) { ++clicks; }));
  ReadFormStreams(form, {Compile(R"(
object Form: TWidgetForm
  Caption = 'Title'
  object Panel: TWidget
    Width = 200
    Color = clRed
    Visible = False
    Align = alClient
    Style = [fsBold, fsUnderline]
    Size = 10.5
    Items.Strings = ('a' 'b' 'c')
    Buddy = Button
    OnClick = PanelClick
    object Button: TWidget
      Caption = 'OK'
    end
  end
end
)")});
  EXPECT_EQ(form.Name(), u"Form");
  EXPECT_EQ(form.Caption(), u"Title");
  auto* panel = dynamic_cast<TWidget*>(form.FindComponent(u"panel"));
  auto* button = dynamic_cast<TWidget*>(form.FindComponent(u"Button"));
  ASSERT_TRUE(panel && button);
  EXPECT_EQ(panel->Owner(), &form);
  EXPECT_EQ(button->Owner(), &form);
  EXPECT_EQ(panel->Parent, &form);
  EXPECT_EQ(button->Parent, panel);
  EXPECT_EQ(panel->Width(), 200);
  EXPECT_EQ(panel->Color(), 255);
  EXPECT_FALSE(panel->Visible());
  EXPECT_EQ(panel->Align(), 2);
  EXPECT_EQ(panel->Style(), 5u);
  EXPECT_DOUBLE_EQ(panel->Size(), 10.5);
  EXPECT_EQ(panel->Items()->ToVector(), (std::vector<String>{u"a", u"b", u"c"}));
  EXPECT_EQ(panel->Buddy(), button);  // a reference to a later record
  ASSERT_TRUE(panel->OnClick);
  panel->OnClick(panel);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button->Caption(), u"OK");
  EXPECT_EQ(panel->LoadedCalls, 1);
  EXPECT_EQ(form.LoadedCalls, 1);
  EXPECT_FALSE(panel->Loading());
}

#ifndef _WIN32
// Natively the module's resources are registered by the test (the Windows tests use linked ones).
TEST_F(FormReader, InheritedResourcesApplyOldestFirst) {
  RegisterNativeResource(u"TWidgetForm", u"#10", Compile(R"(
object WidgetForm: TWidgetForm
  Caption = 'Base'
  Width = 100
  object Label1: TWidget
    Caption = 'base label'
    Width = 5
  end
end
)"));
  RegisterNativeResource(u"TDerivedForm", u"#10", Compile(R"(
inherited DerivedForm: TDerivedForm
  Caption = 'Derived'
  inherited Label1: TWidget
    Caption = 'derived label'
  end
  object Label2: TWidget
  end
end
)"));
  TDerivedForm form(nullptr);
  EXPECT_TRUE(ReadFormResources(form));
  EXPECT_EQ(form.Caption(), u"Derived");
  EXPECT_EQ(form.Width(), 100);
  auto* l1 = dynamic_cast<TWidget*>(form.FindComponent(u"Label1"));
  ASSERT_TRUE(l1);
  EXPECT_EQ(l1->Caption(), u"derived label");
  EXPECT_EQ(l1->Width(), 5);
  EXPECT_EQ(form.ComponentCount(), 2);

  // The walk stops at the first class without a resource.
  ClearNativeResources();
  RegisterNativeResource(u"TWidgetForm", u"#10", Compile("object F: TWidgetForm\n Caption = 'x'\nend\n"));
  TDerivedForm other(nullptr);
  EXPECT_FALSE(ReadFormResources(other));
  EXPECT_EQ(other.Caption(), u"");
}
#endif

TEST_F(FormReader, BadValuesAreRefusedWithTheirName) {
  struct {
    const char* body;
    const char* message;
  } cases[] = {
      {"Width = 10001", "Range check error"},
      {"Width = 'wide'", "Panel.Width"},
      {"Color = clPurple", "Panel.Color"},
      {"Align = alLeft", "Panel.Align"},
      {"Style = [fsStrike]", "Panel.Style"},
      {"Height = 3", "Property Height does not exist"},
      {"Font.Name = 'x'", "Property Font does not exist"},
      {"OnClick = Missing", "Event handler Missing not found"},
      {"Buddy = Nobody", "Property Nobody does not exist"},
      {"Items.Strings = (1 2)", "Panel.Items.Strings"},
  };
  for (const auto& c : cases) {
    TWidgetForm form(nullptr);
    std::string text = std::string("object F: TWidgetForm\n object Panel: TWidget\n  ") + c.body + "\n end\nend\n";
    try {
      ReadFormStreams(form, {Compile(text.c_str())});
      ADD_FAILURE() << c.body;
    } catch (const EFormLoadError& e) {
      EXPECT_NE(e.Message().find(Utf8ToString(c.message)), String::npos) << c.body << ": " << e.what();
    }
  }
  TWidgetForm form(nullptr);
  EXPECT_THROW(ReadFormStreams(form, {Compile("object F: TWidgetForm\n object P: TNoSuchClass\n end\nend\n")}),
               EFormLoadError);
  // An inner object that is not there drops the value.
  EXPECT_NO_THROW(ReadFormStreams(form, {Compile("object F: TWidgetForm\n Inner.Caption = 'x'\nend\n")}));
}

TEST_F(FormReader, OwnerFreesItsComponentsAndNamesAreUnique) {
  auto form = std::make_unique<TWidgetForm>(nullptr);
  auto* a = new TWidget(form.get());
  a->SetName(u"A");
  auto* b = new TWidget(form.get());
  EXPECT_THROW(b->SetName(u"a"), EFormLoadError);
  b->SetName(u"B");
  delete a;  // leaves its owner's list
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(form->FindComponent(u"A"), nullptr);
  form.reset();  // frees B; the sanitizer reports a leak or a double free otherwise
}

}  // namespace
