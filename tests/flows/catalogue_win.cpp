// What the demo setups carry, as their pages show it: the sample groups of the full setup in
// their order with captions, sizes and descriptions (a group the setup does not know among
// them), the dictionaries and languages of its archives, and the package setup's own start.
#include "tests/flows/flow.h"

TEST(Pages, CatalogueOfTheFullDemoSetup) {
  TSetupRun s(SetupExe("full"));
  s.ShotPrefix = L"catalogue";
  ASSERT_TRUE(s.Main);
  ASSERT_TRUE(s.NextTo(L"CheckSheet"));
  ASSERT_TRUE(s.NextTo(L"LicenseSheet"));
  // The licence's text as it stands, its byte-order mark read and not shown.
  EXPECT_EQ(TDriver::Text(s.C(L"LicenseMemo")).rfind(L"TRAMVELON 4 END-USER LICENCE AGREEMENT\r\n\r\n", 0), 0u);
  ASSERT_TRUE(s.NextTo(L"SamplesSheet"));
  // Sorted by their captions; JSON is a group the setup has no caption of its own for.
  HWND samples = s.C(L"SamplesCheckList");
  std::vector<std::wstring> expected = {L".NET\tKB", L"Delphi and C++Builder\tKB", L"HTML\tKB", L"JSON\tKB",
                                        L"Text file\tKB",  L"Tutorial\tKB",  L"XML\tKB"};
  EXPECT_EQ(TDriver::Items(samples), expected);
  const std::vector<std::wstring> descriptions = {
      L"Installs samples for WinForms, WPF and Silverlight.", L"Installs units and samples for Delphi and C++Builder.",
      L"Installs HTML samples.", L"", L"Installs text and ini file samples.", L"Installs tutorial files.",
      L"Installs XML samples."};
  for (size_t i = 0; i < descriptions.size(); ++i) {
    s.D.SelectItem(samples, static_cast<int>(i));
    EXPECT_TRUE(TDriver::WaitFor([&] { return TDriver::Text(s.C(L"ComponentDescriptionLabel")) == descriptions[i]; },
                                 5000))
        << Narrow(expected[i]);
  }
  EXPECT_EQ(TDriver::Text(s.C(L"SpaceRequiredLabel")).rfind(L"Space Required: ", 0), 0u);
  ASSERT_TRUE(s.NextTo(L"DictionarySheet"));
  // The dictionaries by locale; the two spell-checker libraries are no entries.
  EXPECT_EQ(TDriver::Items(s.C(L"DictionaryCheckList")),
            (std::vector<std::wstring>{L"English (United Kingdom)", L"English (United States)", L"French", L"German",
                                       L"Russian"}));
  ASSERT_TRUE(s.NextTo(L"LanguagesSheet"));
  // English always, the fixed entry; then the application's language files.
  auto languages = TDriver::Items(s.C(L"LanguagesCheckList"));
  EXPECT_NE(std::find(languages.begin(), languages.end(), L"English"), languages.end());
  EXPECT_NE(TDriver::ItemContaining(s.C(L"LanguagesCheckList"), L"Chinese, Traditional"), -1);
  EXPECT_EQ(languages.size(), 5u);
  EXPECT_EQ(TDriver::Items(s.C(L"DefaultLanguageCombo")).size(), 6u) << "the default and every checked language";
}

TEST(Pages, CatalogueOfThePackageDemoSetup) {
  TSetupRun s(SetupExe("package"), L"4 Translator Package Setup - Language");
  s.ShotPrefix = L"catalogue-package";
  ASSERT_TRUE(s.Main);
  s.Snap(L"0-StartSheet");
  std::wstring start = TDriver::Text(s.C(L"StartLabel"));
  EXPECT_EQ(start.rfind(L"This setup application installs Tramvelon localization tool on your computer", 0), 0u)
      << Narrow(start);
  EXPECT_NE(start.find(L"\r\n\r\nDescription: Translate the texts of the Country Database program into Finnish."),
            std::wstring::npos);
  EXPECT_NE(start.find(L"\r\nAuthor: Anna Virtanen\r\nCreated: "), std::wstring::npos);
  // No version check and no samples: from the licence to the dictionaries.
  ASSERT_TRUE(s.NextTo(L"LicenseSheet"));
  ASSERT_TRUE(s.NextTo(L"DictionarySheet"));
  EXPECT_EQ(TDriver::Items(s.C(L"SamplesCheckList")).size(), 0u);
}
