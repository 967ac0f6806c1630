// tvlang: the translations of a program as gettext PO files, and the language modules
// built from them.
//
//   tvlang template --strings strings.txt --forms DIR --out PROGRAM.pot
//       every resource string (msgctxt = its symbol) and every text of the forms in DIR
//       (msgctxt = Class.Component.Property, list items as Property[index])
//   tvlang build --strings strings.txt --forms DIR --po xx.po --code DEU --name Tram
//                --version 4.0.354.0 --out-dir DIR [--strict]
//       writes DIR/<name>.<code>.rc (string table, version resource and the translated
//       forms in DIR/forms-<code>/)
//       and reports the entries that are missing or fuzzy, which stay English; --strict
//       fails when any is. A syntax error, a format directive that differs from the
//       English text or a context that the template does not have stops it, naming
//       file and line.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "lib/core/kysysutils.h"
#include "lib/locale/kylocale.h"
#include "lib/locale/kypofile.h"
#include "lib/ui/kyformstream.h"
#include "lib/ui/kyformtext.h"
#include "tools/resgen/stringsfile.h"

namespace fs = std::filesystem;

namespace {

struct TUnit {
  std::string Context;
  std::string English;
  std::string Reference;  // file:line
};

struct TForm {
  std::string ClassName;
  std::string File;
  TFormRecord Record;
};

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) stringsfile::Fail(file, 0, "cannot open the file");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Texts of a form that a translator sees: captions, hints, texts and list items.
bool IsTextProperty(const std::string& path) {
  std::string last = path.substr(path.rfind('.') == std::string::npos ? 0 : path.rfind('.') + 1);
  return last == "Caption" || last == "Hint" || last == "Text" || last == "Strings" ||
         (last.size() > 4 && last.compare(last.size() - 4, 4, "Text") == 0);
}

std::string Utf8Of(const TFormValue& v) { return StringToUtf8(v.AsText()); }

// Dirs: one folder, or several separated by commas (a program's own forms beside the base forms).
std::vector<TForm> ReadForms(const std::string& dirs) {
  std::vector<TForm> forms;
  std::vector<fs::path> files;
  std::stringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ',');) {
    std::vector<fs::path> here;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().extension() == ".txt") here.push_back(e.path());
    std::sort(here.begin(), here.end());
    files.insert(files.end(), here.begin(), here.end());
  }
  for (const auto& f : files) {
    TForm form;
    form.File = f.string();
    form.ClassName = f.stem().string();
    try {
      form.Record = ParseFormText(ReadAll(form.File), Utf8ToString(form.File));
    } catch (const Exception& e) {
      std::cerr << e.what() << "\n";
      std::exit(1);
    }
    forms.push_back(std::move(form));
  }
  return forms;
}

// Walks the translatable values of a form in file order; Visit(context, value, line).
class TFormWalker {
 public:
  TFormWalker(const TForm& form, std::function<void(const std::string&, TFormValue&, int)> visit)
      : Form_(form), Visit_(std::move(visit)) {
    std::istringstream in(ReadAll(form.File));
    std::string l;
    while (std::getline(in, l)) Lines_.push_back(l);
  }
  void Walk(TFormRecord& r) {
    FindLine("object " + r.Name + ":", "inherited " + r.Name + ":", "inline " + r.Name + ":");
    for (auto& p : r.Properties) {
      if (!IsTextProperty(p.Path)) continue;
      int line = FindLine(p.Path + " =", p.Path + "=", "");
      std::string base = Form_.ClassName + "." + r.Name + "." + p.Path;
      if (p.Value.Type == TValueType::vaList) {
        std::string path = p.Path;
        if (path.size() > 8 && path.compare(path.size() - 8, 8, ".Strings") == 0) path.resize(path.size() - 8);
        for (size_t i = 0; i < p.Value.Items.size(); ++i)
          if (p.Value.Items[i].IsText() && !p.Value.Items[i].IsEmpty())
            Visit_(Form_.ClassName + "." + r.Name + "." + path + "[" + std::to_string(i) + "]", p.Value.Items[i],
                   line + static_cast<int>(i) + 1);
      } else if (p.Value.IsText() && !p.Value.IsEmpty()) {
        Visit_(base, p.Value, line);
      }
    }
    for (auto& c : r.Children) Walk(c);
  }

 private:
  // The next line (from the last one found) that starts with one of the prefixes.
  int FindLine(const std::string& a, const std::string& b, const std::string& c) {
    for (size_t i = Pos_; i < Lines_.size(); ++i) {
      std::string t = Lines_[i];
      t.erase(0, t.find_first_not_of(" \t"));
      if (t.rfind(a, 0) == 0 || t.rfind(b, 0) == 0 || (!c.empty() && t.rfind(c, 0) == 0)) {
        Pos_ = i + 1;
        return static_cast<int>(i) + 1;
      }
    }
    return static_cast<int>(Pos_);
  }
  const TForm& Form_;
  std::function<void(const std::string&, TFormValue&, int)> Visit_;
  std::vector<std::string> Lines_;
  size_t Pos_ = 0;
};

std::string Relative(const std::string& file) {
  std::error_code ec;
  fs::path rel = fs::relative(file, fs::current_path(), ec);
  return ec || rel.empty() ? file : rel.generic_string();
}

std::vector<TUnit> Units(const std::string& stringsFile, std::vector<TForm>& forms) {
  std::vector<TUnit> units;
  for (const auto& e : stringsfile::Parse(stringsFile)) {
    // A build setting (the maker's address) is the same in every language.
    if (e.setting) continue;
    units.push_back({e.symbol, e.text, Relative(stringsFile) + ":" + std::to_string(e.line)});
  }
  for (auto& f : forms) {
    TFormWalker w(f, [&](const std::string& ctx, TFormValue& v, int line) {
      units.push_back({ctx, Utf8Of(v), Relative(f.File) + ":" + std::to_string(line)});
    });
    TFormRecord copy = f.Record;
    w.Walk(copy);
  }
  return units;
}

std::map<std::string, std::string> Args(int argc, char** argv, int from) {
  std::map<std::string, std::string> a;
  for (int i = from; i < argc; ++i) {
    std::string k = argv[i];
    if (k.rfind("--", 0) != 0) stringsfile::Fail("tvlang", 0, "unexpected argument " + k);
    if (k == "--strict") {
      a[k] = "1";
    } else if (i + 1 < argc) {
      a[k] = argv[++i];
    } else {
      stringsfile::Fail("tvlang", 0, "missing value for " + k);
    }
  }
  return a;
}

std::string Need(std::map<std::string, std::string>& a, const std::string& k) {
  if (!a.count(k)) stringsfile::Fail("tvlang", 0, "missing " + k);
  return a[k];
}

int Template(std::map<std::string, std::string> a) {
  auto forms = ReadForms(Need(a, "--forms"));
  auto units = Units(Need(a, "--strings"), forms);
  std::ostringstream o;
  o << "# Translations of " << a["--name"] << ". Generated by tvlang from the sources: do not edit.\n"
    << "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: " << a["--name"] << "\\n\"\n"
    << "\"MIME-Version: 1.0\\n\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    << "\"Content-Transfer-Encoding: 8bit\\n\"\n";
  for (const auto& u : units) {
    o << "\n#: " << u.Reference << "\n";
    if (HasFormatDirectives(u.English)) o << "#, object-pascal-format\n";
    o << PoQuote("msgctxt", u.Context) << PoQuote("msgid", u.English) << "msgstr \"\"\n";
  }
  stringsfile::WriteIfChanged(Need(a, "--out"), o.str());
  return 0;
}

std::string RcText(const std::string& s) { return stringsfile::RcLiteral(s); }

int Build(std::map<std::string, std::string> a) {
  const std::string poFile = Need(a, "--po"), code = Need(a, "--code"), name = Need(a, "--name");
  const std::string outDir = Need(a, "--out-dir");
  auto forms = ReadForms(Need(a, "--forms"));
  auto symbols = stringsfile::Parse(Need(a, "--strings"));
  auto units = Units(a["--strings"], forms);
  std::map<std::string, const TUnit*> byContext;
  for (const auto& u : units) byContext[u.Context] = &u;

  TPoFile po;
  try {
    po = ReadPoFile(ReadAll(poFile), Relative(poFile));
  } catch (const EPoError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::string charset = po.HeaderField("Content-Type");
  if (charset.find("charset=UTF-8") == std::string::npos && charset.find("charset=utf-8") == std::string::npos)
    stringsfile::Fail(Relative(poFile), 1, "the header must declare charset=UTF-8");

  // Translations by context; every live entry must belong to the template.
  std::map<std::string, std::string> done;
  std::vector<std::string> missing;
  int errors = 0;
  for (const auto& e : po.Entries) {
    if (e.Obsolete || (!e.HasContext && e.Id.empty())) continue;
    auto where = Relative(poFile) + ":" + std::to_string(e.Line) + ": ";
    auto it = byContext.find(e.Context);
    if (!e.HasContext || it == byContext.end()) {
      std::cerr << where << "error: unknown msgctxt \"" << e.Context << "\"\n";
      ++errors;
      continue;
    }
    if (!e.Translated() || e.Id != it->second->English) continue;  // stays English, reported below
    if (FormatDirectives(e.Strings[0]) != FormatDirectives(e.Id)) {
      std::cerr << where << "error: the format directives of the translation differ from \"" << e.Id << "\"\n";
      ++errors;
      continue;
    }
    done[e.Context] = e.Strings[0];
  }
  if (errors) return 1;
  for (const auto& u : units)
    if (!done.count(u.Context)) missing.push_back(u.Context);

  // The language of the module from the locale table.
  TKyLocaleDatas table;
  table.Populate();
  const TKyLocaleData* row = nullptr;
  for (int i = 0; i < table.Count() && !row; ++i)
    if (SameText(table.Items(i).Abbreviation, Utf8ToString(code))) row = &table.Items(i);
  if (!row) stringsfile::Fail("tvlang", 0, "no locale has the abbreviation " + code);

  // Forms of each language apart: several languages build into one folder at once.
  const fs::path formsDir = fs::path(outDir) / ("forms-" + code);
  fs::create_directories(formsDir);
  std::ostringstream rc;
  rc << "// Generated by tvlang from " << Relative(poFile) << ". Do not edit.\n#pragma code_page(65001)\n"
     << "#include <winver.h>\nLANGUAGE " << row->PrimaryLanguage << ", " << row->SubLanguage << "\n\nSTRINGTABLE\nBEGIN\n";
  int id = stringsfile::kFirstId;
  for (const auto& s : symbols) {
    auto it = done.find(s.symbol);
    if (it != done.end()) rc << "  " << id << ", " << RcText(it->second) << "\n";
    ++id;
  }
  rc << "END\n\n";
  for (auto& f : forms) {
    TFormWalker w(f, [&](const std::string& ctx, TFormValue& v, int) {
      auto it = done.find(ctx);
      if (it != done.end()) v = TFormValue::FromText(Utf8ToString(it->second));
    });
    TFormRecord translated = f.Record;
    w.Walk(translated);
    RawBytes stream = WriteFormStream(translated);
    fs::path bin = fs::absolute(formsDir / (f.ClassName + ".bin"));
    std::string content(stream.begin(), stream.end());
    stringsfile::WriteIfChanged(bin.string(), content);
    rc << f.ClassName << " RCDATA \"" << bin.generic_string() << "\"\n";
  }
  std::string version = a.count("--version") ? a["--version"] : "1.0.0.0";
  std::string commas = version;
  std::replace(commas.begin(), commas.end(), '.', ',');
  char lang[16];
  std::snprintf(lang, sizeof lang, "%04X04B0", static_cast<unsigned>(row->PrimaryLanguage | (row->SubLanguage << 10)));
  rc << "\nVS_VERSION_INFO VERSIONINFO\nFILEVERSION " << commas << "\nPRODUCTVERSION " << commas
     << "\nFILEOS VOS_NT_WINDOWS32\nFILETYPE VFT_DLL\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"" << lang
     << "\"\n    BEGIN\n      VALUE \"FileDescription\", \"" << name << " language file (" << code << ")\\0\"\n"
     << "      VALUE \"FileVersion\", \"" << version << "\\0\"\n      VALUE \"OriginalFilename\", \"" << name << "." << code
     << "\\0\"\n      VALUE \"ProductVersion\", \"" << version << "\\0\"\n    END\n  END\n"
     << "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x" << std::string(lang, 4) << ", 0x04B0\n  END\nEND\n";
  stringsfile::WriteIfChanged((fs::path(outDir) / (name + "." + code + ".rc")).string(), rc.str());

  size_t total = units.size(), translated = total - missing.size();
  char pct[16];
  std::snprintf(pct, sizeof pct, "%.1f", total ? 100.0 * static_cast<double>(translated) / static_cast<double>(total) : 100.0);
  std::cout << Relative(poFile) << ": " << name << "." << code << " " << translated << " of " << total
            << " texts translated (" << pct << "%)\n";
  for (const auto& m : missing)
    std::cout << Relative(poFile) << ": missing or fuzzy, stays English: " << m << " (" << byContext[m]->Reference << ")\n";
  return a.count("--strict") && !missing.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cmd = argc > 1 ? argv[1] : "";
  try {
    if (cmd == "template") return Template(Args(argc, argv, 2));
    if (cmd == "build") return Build(Args(argc, argv, 2));
  } catch (const std::exception& e) {
    std::cerr << "tvlang: " << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: tvlang template|build ... (see the comment at the top of tools/lang/lang.cpp)\n";
  return 2;
}
