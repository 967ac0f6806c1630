// The runtime translator on components with a reflection table of their own: which values
// a pass assigns, which it leaves, list items, inherited resources, errors, mirroring.
#include <gtest/gtest.h>

#include <memory>

#include "lib/core/kystreams.h"
#include "lib/core/resstring.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kytranslator.h"
#include "lib/ui/kyformtext.h"

namespace {

class TTestFont : public TPersistent {
 public:
  const TClassInfo& ClassInfo() const override {
    static const TClassInfo info(u"TFont", nullptr, {props::Int<TTestFont>(u"Charset", &TTestFont::Charset, &TTestFont::SetCharset, 0, 255)});
    return info;
  }
  int Charset() const { return Charset_; }
  void SetCharset(int v) { Charset_ = v; }
  int Charset_ = 1;
};

class TTestItem : public TPersistent {
 public:
  const TClassInfo& ClassInfo() const override {
    static const TClassInfo info(u"TTestItem", nullptr, {props::Str<TTestItem>(u"Caption", &TTestItem::Caption, &TTestItem::SetCaption)});
    return info;
  }
  String Caption() const { return Caption_; }
  void SetCaption(const String& v) { Caption_ = v; }
  String Caption_;
};

class TTestItems : public TKyCollection {
 public:
  const TClassInfo& ClassInfo() const override {
    static const TClassInfo info(u"TTestItems", nullptr, {});
    return info;
  }
  int Count() const override { return static_cast<int>(Items_.size()); }
  TPersistent* Items(int i) override { return &Items_[static_cast<size_t>(i)]; }
  std::vector<TTestItem> Items_;
};

// A control: caption, bounds, its own Charset, a font, item texts with a selection, a collection.
class TTestControl : public TKyComponent {
 public:
  using TKyComponent::TKyComponent;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(
        u"TTestControl", &TKyComponent::StaticClassInfo(),
        {props::Str<TTestControl>(u"Caption", &TTestControl::Caption, &TTestControl::SetCaption),
         props::Str<TTestControl>(u"Hint", &TTestControl::Hint, &TTestControl::SetHint),
         props::Int<TTestControl>(u"Left", &TTestControl::Left, &TTestControl::SetLeft),
         props::Int<TTestControl>(u"Top", &TTestControl::Top, &TTestControl::SetTop),
         props::Int<TTestControl>(u"Width", &TTestControl::Width, &TTestControl::SetWidth, 0, 10000),
         props::Int<TTestControl>(u"Charset", &TTestControl::Charset, &TTestControl::SetCharset, 0, 255),
         props::Bool<TTestControl>(u"Visible", &TTestControl::Visible, &TTestControl::SetVisible),
         props::Int<TTestControl>(u"ItemIndex", &TTestControl::ItemIndex, &TTestControl::SetItemIndex, -1),
         props::Object<TTestControl, TTestFont>(u"Font", &TTestControl::Font),
         props::Object<TTestControl, TKyStrings>(u"Items", &TTestControl::Items),
         props::Object<TTestControl, TTestItems>(u"Columns", &TTestControl::Columns)});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool IsControl() const override { return true; }
  void TextChanged() override { ++TextChanges; }
  void MirrorLayout(bool rtl) override { Mirrors.push_back(rtl); }

  String Caption() const { return Caption_; }
  void SetCaption(const String& v) { Caption_ = v; }
  String Hint() const { return Hint_; }
  void SetHint(const String& v) { Hint_ = v; }
  int Left() const { return Left_; }
  void SetLeft(int v) { Left_ = v; }
  int Top() const { return Top_; }
  void SetTop(int v) { Top_ = v; }
  int Width() const { return Width_; }
  void SetWidth(int v) { Width_ = v; }
  int Charset() const { return Charset_; }
  void SetCharset(int v) { Charset_ = v; }
  bool Visible() const { return Visible_; }
  void SetVisible(bool v) { Visible_ = v; }
  int ItemIndex() const { return ItemIndex_; }
  // A list control forgets its selection when an item text is replaced.
  void SetItemIndex(int v) { ItemIndex_ = v; }
  TTestFont* Font() { return &Font_; }
  TKyStrings* Items() { return &Items_; }
  TTestItems* Columns() { return &Columns_; }

  String Caption_, Hint_;
  int Left_ = 10, Top_ = 20, Width_ = 100, Charset_ = 1, ItemIndex_ = -1;
  bool Visible_ = true;
  TTestFont Font_;
  class TForgetfulList : public TKyStringVector {
   public:
    explicit TForgetfulList(TTestControl* o) : Owner(o) {}
    void Put(int i, const String& s) override {
      TKyStringVector::Put(i, s);
      Owner->ItemIndex_ = -1;
    }
    TTestControl* Owner;
  } Items_{this};
  TTestItems Columns_;
  int TextChanges = 0;
  std::vector<bool> Mirrors;
};

class TTestForm : public TTestControl {
 public:
  using TTestControl::TTestControl;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TTestForm", &TTestControl::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TTestDerivedForm : public TTestForm {
 public:
  using TTestForm::TTestForm;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TTestDerivedForm", &TTestForm::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

RawBytes Stream(const std::string& text) { return WriteFormStream(ParseFormText(text, u"test")); }

struct TTranslatorTest : ::testing::Test {
  void SetUp() override {
    InitTranslator();
    ClearNativeResources();
  }
  void TearDown() override {
    ClearNativeResources();
    DoneTranslator();
    SetResourceHandle(GetInstanceHandle());
    CurrentLanguageCode.clear();
    PreviousLanguageCode.clear();
    RightToLeftApplied = false;
  }
  // A form with two named controls and two unnamed ones of one class.
  std::unique_ptr<TTestForm> MakeForm() {
    auto f = std::make_unique<TTestForm>(nullptr);
    f->SetName(u"Form");
    f->SetCaption(u"Setup");
    auto* label = new TTestControl(f.get());
    label->SetName(u"Label");
    label->SetCaption(u"Name:");
    auto* list = new TTestControl(f.get());
    list->SetName(u"List");
    list->Items()->Assign({u"one", u"two", u"three"});
    list->ItemIndex_ = 1;
    list->Columns()->Items_.resize(1);
    list->Columns()->Items_[0].Caption_ = u"Column";
    new TTestControl(f.get());
    new TTestControl(f.get());
    return f;
  }
  TTestControl* C(TTestForm& f, const char16_t* name) { return static_cast<TTestControl*>(f.FindComponent(name)); }
};

const char kGerman[] =
    "object Form: TTestForm\n"
    "  Caption = 'Einrichtung'\n"
    "  Left = 99\n"
    "  Top = 98\n"
    "  Width = 500\n"
    "  object Label: TTestControl\n"
    "    Caption = 'Name:'\n"            // the same text: not assigned, no hook
    "    Hint = 'Ihr Name'\n"
    "    Width = 321\n"                  // integers only when the reading direction changed
    "    Charset = 178\n"                // a top-level Charset always
    "    Font.Charset = 177\n"           // a nested one like any integer
    "    Visible = False\n"              // not a string kind
    "  end\n"
    "  object List: TTestControl\n"
    "    Items.Strings = ( 'eins' 'zwei' 'drei' 'vier' )\n"
    "    Columns = < item Caption = 'Spalte' end item Caption = 'Zweite' end >\n"
    "  end\n"
    "  object Ghost: TTestControl\n"      // not on the form: read through and dropped
    "    Caption = 'Geist'\n"
    "    object GhostChild: TTestControl\n"
    "      Caption = 'Kind'\n"
    "    end\n"
    "  end\n"
    "  object TTestControl\n"
    "    Caption = 'Erster'\n"
    "  end\n"
    "  object TTestControl\n"
    "    Caption = 'Zweiter'\n"
    "  end\n"
    "end\n";

TEST_F(TTranslatorTest, StringKindsAreAssignedAndTheRestIsLeftUnlessTheReadingDirectionChanged) {
  auto f = MakeForm();
  Screen.AddForm(f.get());  // list items report the form as their root
  RegisterNativeResource(u"TTestForm", u"#10", Stream(kGerman));
  TranslatedTypeKinds = StringTypeKinds;
  std::vector<String> hooked;
  OnPropertyTranslated = [&](TKyComponent* root, TPersistent* obj, const TPropInfo* p) {
    EXPECT_EQ(root, f.get());
    hooked.push_back(p ? obj->ClassName() + u"." + p->Name : u"item");
  };
  TKyTranslator t;
  t.TranslateComponent(f.get());

  EXPECT_EQ(f->Caption(), u"Einrichtung");
  EXPECT_EQ(f->Left(), 10);
  EXPECT_EQ(f->Width(), 100);
  TTestControl* label = C(*f, u"Label");
  EXPECT_EQ(label->Hint(), u"Ihr Name");
  EXPECT_EQ(label->Width(), 100);
  EXPECT_EQ(label->Charset(), 178);
  EXPECT_EQ(label->Font()->Charset(), 1);
  EXPECT_TRUE(label->Visible());
  EXPECT_EQ(label->TextChanges, 1);
  TTestControl* list = C(*f, u"List");
  EXPECT_EQ(list->Items()->ToVector(), (std::vector<String>{u"eins", u"zwei", u"drei"}));
  EXPECT_EQ(list->ItemIndex(), 1);  // kept although the list forgets it on each change
  EXPECT_EQ(list->Columns()->Items_[0].Caption(), u"Spalte");
  EXPECT_EQ(f->FindComponent(u"GhostChild"), nullptr);
  EXPECT_EQ(static_cast<TTestControl*>(f->Components(2))->Caption(), u"Erster");
  EXPECT_EQ(static_cast<TTestControl*>(f->Components(3))->Caption(), u"Zweiter");
  EXPECT_EQ(hooked, (std::vector<String>{u"TTestForm.Caption", u"TTestControl.Hint", u"TTestControl.Charset", u"item",
                                         u"item", u"item", u"TTestItem.Caption", u"TTestControl.Caption",
                                         u"TTestControl.Caption"}));

  // The same pass when the reading direction changed: integers too, never the root's place.
  OnPropertyTranslated = nullptr;
  auto g = MakeForm();
  TKyTranslator bidi;
  bidi.BiDiChanged = true;
  bidi.TranslateComponent(g.get());
  EXPECT_EQ(g->Left(), 10);
  EXPECT_EQ(g->Top(), 20);
  EXPECT_EQ(g->Width(), 500);
  EXPECT_EQ(C(*g, u"Label")->Width(), 321);
  EXPECT_EQ(C(*g, u"Label")->Font()->Charset(), 177);
  EXPECT_TRUE(C(*g, u"Label")->Visible());
  Screen.RemoveForm(f.get());
}

TEST_F(TTranslatorTest, InheritedResourcesApplyOldestFirstAndTheHookDecides) {
  auto f = std::make_unique<TTestDerivedForm>(nullptr);
  auto* label = new TTestControl(f.get());
  label->SetName(u"Label");
  RegisterNativeResource(u"TTestForm", u"#10",
                         Stream("object Form: TTestForm\n  Caption = 'Basis'\n  Hint = 'Basis'\n"
                                "  object Label: TTestControl\n    Caption = 'A'\n  end\nend\n"));
  RegisterNativeResource(u"TTestDerivedForm", u"#10",
                         Stream("inherited Form: TTestDerivedForm\n  Caption = 'Abgeleitet'\n"
                                "  inherited Label: TTestControl\n    Caption = 'B'\n    Hint = 'H'\n  end\nend\n"));
  OnTranslateProperty = [](TKyComponent*, TPersistent*, const TPropInfo* p, const TPropValue& old, TPropValue& v, bool& skip) {
    if (p && p->Name == u"Hint" && old.Text.empty() && v.Text == u"H") skip = true;
    if (v.Text == u"B") v.Text = u"B!";
  };
  // A value that the descendant sets again is assigned once, not the ancestor's first.
  std::vector<String> captions;
  OnPropertyTranslated = [&](TKyComponent*, TPersistent* o, const TPropInfo* p) {
    if (o == f.get() && p->Name == u"Caption") captions.push_back(f->Caption());
  };
  TKyTranslator t;
  t.TranslateComponent(f.get());
  EXPECT_EQ(captions, (std::vector<String>{u"Abgeleitet"}));
  EXPECT_EQ(f->Caption(), u"Abgeleitet");
  EXPECT_EQ(f->Hint(), u"Basis");
  EXPECT_EQ(label->Caption(), u"B!");
  EXPECT_EQ(label->Hint(), u"");
}

TEST_F(TTranslatorTest, ErrorsNameTheObjectAndTheProperty) {
  auto f = MakeForm();
  auto expectError = [&](const std::string& body, const std::u16string& message) {
    ClearNativeResources();
    RegisterNativeResource(u"TTestForm", u"#10", Stream("object Form: TTestForm\n" + body + "end\n"));
    TKyTranslator t;
    try {
      t.TranslateComponent(f.get());
      ADD_FAILURE() << "no error for " << body;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), message);
    }
  };
  // Every kind is assigned while the filter is empty, so an integer out of range is an error.
  expectError("  Width = 20000\n", u"Could not translate TTestForm.Width: Range check error");
  expectError("  Bogus.Charset = 1\n", u"Property Bogus does not exist");
  expectError("  Caption = <>\n", u"Invalid data");
  // Values assigned before the error stay.
  expectError("  Caption = 'Vorher'\n  Font.Charset = 300\n",
              u"Could not translate TFont.Font.Charset: Range check error");
  EXPECT_EQ(f->Caption(), u"Vorher");
  // A damaged stream is the reader's error; one without the signature is ignored.
  RawBytes bad = Stream("object Form: TTestForm\n  Caption = 'x'\nend\n");
  bad[bad.find('\x06')] = 22;
  ClearNativeResources();
  RegisterNativeResource(u"TTestForm", u"#10", bad);
  TKyTranslator t;
  EXPECT_THROW(t.TranslateComponent(f.get()), EFormStreamError);
  ClearNativeResources();
  RegisterNativeResource(u"TTestForm", u"#10", RawBytes("TPF1") + bad.substr(4));
  TKyTranslator u;
  u.TranslateComponent(f.get());
  EXPECT_EQ(f->Caption(), u"Vorher");
}

TEST_F(TTranslatorTest, APassMirrorsFormsAroundItWhenTheReadingDirectionChanges) {
  auto f = MakeForm();
  Screen.AddForm(f.get());
  RegisterNativeResource(u"TTestForm", u"#10", Stream(kGerman));
  TranslatedTypeKinds = StringTypeKinds;
  TranslatorFlags = tfMirrorLayout;
  static int fakeModule;
  // A right-to-left language file becomes active.
  SetResourceHandle(&fakeModule);
  CurrentLanguageCode = u"ARA";
  TranslateAllForms();
  EXPECT_TRUE(RightToLeftApplied);
  EXPECT_EQ(f->Mirrors, (std::vector<bool>{true}));
  EXPECT_EQ(C(*f, u"Label")->Width(), 321);  // integers, since the direction changed
  // Back to the built-in English: unmirrored before the pass, not mirrored after it.
  C(*f, u"Label")->SetWidth(5);
  SetResourceHandle(GetInstanceHandle());
  PreviousLanguageCode = u"ARA";
  CurrentLanguageCode.clear();
  TranslateAllForms();
  EXPECT_FALSE(RightToLeftApplied);
  EXPECT_EQ(f->Mirrors, (std::vector<bool>{true, false}));
  // Without the mirroring flag nothing mirrors, and a second pass in the same direction
  // leaves integers alone.
  TranslatorFlags = 0;
  PreviousLanguageCode.clear();
  TranslateAllForms();
  EXPECT_EQ(f->Mirrors.size(), 2u);
  Screen.RemoveForm(f.get());
}

}  // namespace
