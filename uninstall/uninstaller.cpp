#include "uninstall/uninstaller.h"

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "lib/install/kyinstaller.h"
#include "resstrings.h"

namespace {
const std::vector<TRegRoot> kRoots = {rkClassesRoot, rkCurrentUser,  rkLocalMachine, rkUsers,
                                      rkPerformanceData, rkCurrentConfig, rkDynData};

// The root named Name ignoring case; false for a name that is not one of the seven.
bool RootFromName(StringView name, TRegRoot& root) {
  root = 0;
  if (name.empty()) return true;  // recorded for a root that has no name
  for (TRegRoot r : kRoots) {
    if (SameText(RootKeyName(r), name)) {
      root = r;
      return true;
    }
  }
  return false;
}

// Every reading of "a;b;c" as a first field and the rest: ("a", "b;c"), ("a;b", "c").
std::vector<std::pair<String, String>> AllSplits(StringView s) {
  std::vector<std::pair<String, String>> out;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == u';') out.emplace_back(String(s.substr(0, i)), String(s.substr(i + 1)));
  return out;
}

String KeyPath(const String& key) {
  size_t a = 0, b = key.size();
  while (a < b && key[a] == u'\\') ++a;
  while (b > a && key[b - 1] == u'\\') --b;
  return key.substr(a, b - a);
}

bool IsKeySameOrBelow(const String& key, const String& ancestor) {
  return SameText(key, ancestor) || (!ancestor.empty() && StartsText(ancestor + u"\\", key));
}

bool IsDriveRoot(const String& p) {
  if (p.size() == 3 && p[1] == u':' && p[2] == u'\\') return true;
  if (p.size() > 2 && p[0] == u'\\' && p[1] == u'\\') {
    size_t server = p.find(u'\\', 2);
    return server != String::npos && p.find(u'\\', server + 1) == String::npos;
  }
  return false;
}

String Unquote(const String& s) {
  String t = TrimBlanks(s);
  if (t.size() >= 2 && t.front() == u'"' && t.back() == u'"') t = t.substr(1, t.size() - 2);
  return t;
}
}  // namespace

// ---- log records -------------------------------------------------------------------

std::vector<TUninstallRecord> ParseUninstallLog(const TStringList& lines) {
  std::vector<TUninstallRecord> records;
  for (int i = 0; i < lines.Count(); ++i) {
    const String& line = lines[i];
    auto bad = [&] { return EUninstallLogError(Format(SUninstallBadRecord, {i + 1, line})); };
    for (Char c : line)
      if (c < 0x20 || c == 0xFFFD) throw bad();
    size_t cut = line.find(u';');
    if (cut == String::npos) throw bad();
    String keyword = line.substr(0, cut);
    StringView rest = StringView(line).substr(cut + 1);
    TUninstallRecord r;
    r.Text = line;
    if (SameText(keyword, u"file") || SameText(keyword, u"dir")) {
      r.Kind = SameText(keyword, u"file") ? TRecordKind::File : TRecordKind::Dir;
      r.Path = String(rest);
      if (r.Kind == TRecordKind::File && r.Path.empty()) throw bad();
    } else if (SameText(keyword, u"regkey") || SameText(keyword, u"regvalue")) {
      r.Kind = SameText(keyword, u"regkey") ? TRecordKind::RegKey : TRecordKind::RegValue;
      size_t rootEnd = rest.find(u';');
      if (rootEnd == StringView::npos || !RootFromName(rest.substr(0, rootEnd), r.Root)) throw bad();
      StringView key = rest.substr(rootEnd + 1);
      if (r.Kind == TRecordKind::RegKey) {
        r.Path = String(key);
      } else {
        size_t keyEnd = key.find(u';');
        if (keyEnd == StringView::npos) throw bad();
        r.Path = String(key.substr(0, keyEnd));
        r.Splits = AllSplits(key.substr(keyEnd + 1));
        if (r.Splits.empty()) throw bad();
      }
      if (KeyPath(r.Path).empty()) throw bad();
    } else if (SameText(keyword, u"line")) {
      r.Kind = TRecordKind::Line;
      r.Splits = AllSplits(rest);
      if (r.Splits.empty() || r.Splits.front().first.empty()) throw bad();
    } else {
      throw bad();
    }
    records.push_back(std::move(r));
  }
  return records;
}

// ---- paths -------------------------------------------------------------------------

String NormalizePath(StringView path) {
  String p(path);
  for (Char& c : p) {
    if (c < 0x20) return String();
    if (c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|') return String();
    if (c == u'/') c = u'\\';
  }
  String root;
  size_t pos;
  if (p.size() >= 3 && p[1] == u':' && p[2] == u'\\' &&
      ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'))) {
    root = p.substr(0, 2);
    pos = 3;
  } else if (p.size() > 2 && p[0] == u'\\' && p[1] == u'\\') {
    // \\server\share; device paths (\\?\, \\.\) are refused.
    size_t server = p.find(u'\\', 2);
    if (server == String::npos || server == 2) return String();
    String name = p.substr(2, server - 2);
    if (name == u"?" || name == u".") return String();
    size_t share = p.find(u'\\', server + 1);
    if (share == String::npos) share = p.size();
    if (share == server + 1) return String();
    root = p.substr(0, share);
    if (root.find(u':') != String::npos) return String();
    pos = share;
  } else {
    return String();
  }
  std::vector<String> parts;
  while (pos < p.size()) {
    size_t next = p.find(u'\\', pos);
    if (next == String::npos) next = p.size();
    String part = p.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (parts.empty()) return String();
      parts.pop_back();
      continue;
    }
    if (part.find(u':') != String::npos || part.back() == u'.' || part.back() == u' ') return String();
    parts.push_back(std::move(part));
  }
  String out = root;
  for (const String& part : parts) out += u"\\" + part;
  if (root.size() == 2 && parts.empty()) out += u'\\';
  return out;
}

String ResolveRecordPath(const String& logFolder, const String& recorded) {
  if (recorded.empty()) return NormalizePath(logFolder);
  bool absolute = (recorded.size() >= 2 && recorded[1] == u':') ||
                  (recorded.size() >= 2 && IsPathDelimiter(recorded[0]) && IsPathDelimiter(recorded[1]));
  if (absolute) return NormalizePath(recorded);
  if (IsPathDelimiter(recorded[0])) return String();  // relative to a drive: never recorded
  return NormalizePath(IncludeTrailingBackslash(logFolder) + recorded);
}

bool IsSameOrBelow(const String& path, const String& folder) {
  if (path.empty() || folder.empty()) return false;
  return SameText(path, folder) || IsBelow(path, folder);
}

bool IsBelow(const String& path, const String& folder) {
  if (path.empty() || folder.empty()) return false;
  String prefix = IncludeTrailingBackslash(folder);
  return path.size() > prefix.size() && StartsText(prefix, path);
}

TPathRules::TPathRules(const TUninstallFolders& folders)
    : Programs_(NormalizePath(folders.Programs)), Desktop_(NormalizePath(folders.Desktop)) {
  for (const String& p : folders.Protected)
    if (String n = NormalizePath(p); !n.empty()) Protected_.push_back(n);
  if (!Programs_.empty()) Protected_.push_back(Programs_);
  if (!Desktop_.empty()) Protected_.push_back(Desktop_);
  AddRoot(folders.InstallDir);
  for (const String& d : folders.PersonalDirs) AddRoot(d);
  for (const String& d : folders.ProgramFolders) AddRoot(d, true);
}

// A folder to act below must be narrower than every protected folder.
void TPathRules::AddRoot(const String& folder, bool belowPrograms) {
  String n = NormalizePath(folder);
  if (n.empty() || IsProtected(n)) return;
  for (const String& p : Protected_)
    if (IsSameOrBelow(p, n)) return;
  if (belowPrograms && !IsBelow(n, Programs_)) return;
  Roots_.push_back(n);
}

bool TPathRules::IsProtected(const String& path) const {
  if (IsDriveRoot(path)) return true;
  for (const String& p : Protected_)
    if (SameText(p, path)) return true;
  return false;
}

bool TPathRules::IsLinkIn(const String& path, const String& folder) const {
  return !folder.empty() && EndsText(u".lnk", path) && SameText(ExtractFileDir(path), folder);
}

bool TPathRules::MayRemoveFile(const String& path) const {
  if (path.empty()) return false;
  for (const String& r : Roots_)
    if (IsBelow(path, r)) return true;
  // Shortcuts straight on the desktop, or in the Start menu when the program folder is empty.
  return IsLinkIn(path, Desktop_) || IsLinkIn(path, Programs_);
}

bool TPathRules::MayRemoveDir(const String& path) const {
  if (path.empty() || IsProtected(path)) return false;
  for (const String& r : Roots_)
    if (IsSameOrBelow(path, r)) return true;
  return false;
}

// ---- registry ----------------------------------------------------------------------

void FindInstallationKeys(TUninstallFolders& folders, const String& program) {
  String installDir = NormalizePath(folders.InstallDir);
  TRegistry reg(rkLocalMachine);
  TStringList names;
  if (reg.OpenKeyReadOnly(kSetupRecordsKey)) reg.GetKeyNames(names);
  for (int i = 0; i < names.Count(); ++i) {
    TRegistry setup(rkLocalMachine);
    String key = String(kSetupRecordsKey) + u"\\" + names[i];
    if (!setup.OpenKeyReadOnly(key)) continue;
    try {
      if (!SameText(NormalizePath(setup.ReadString(u"InstallDir")), installDir)) continue;
      folders.SetupKeys.push_back(KeyPath(key));
      if (String personal = setup.ReadString(u"PersonalDir"); !personal.empty())
        folders.PersonalDirs.push_back(personal);
    } catch (const ERegistryException&) {
      // A value of another type names no folder of ours.
    }
  }
  reg.CloseKey();
  names.Clear();
  if (reg.OpenKeyReadOnly(TKyInstaller::UninstallRoot())) reg.GetKeyNames(names);
  for (int i = 0; i < names.Count(); ++i) {
    TRegistry entry(rkLocalMachine);
    if (!entry.OpenKeyReadOnly(TKyInstaller::UninstallRoot() + u"\\" + names[i])) continue;
    try {
      if (!SameText(NormalizePath(Unquote(entry.ReadString(u"UninstallString"))), NormalizePath(program))) continue;
      if (!folders.Programs.empty())
        folders.ProgramFolders.push_back(IncludeTrailingBackslash(folders.Programs) + entry.ReadString(u"InstallFolder"));
      if (folders.DisplayName.empty()) folders.DisplayName = entry.ReadString(u"DisplayName");
    } catch (const ERegistryException&) {
    }
  }
}

// ---- text lines --------------------------------------------------------------------

bool RemoveLineFromTextFile(const String& file, const String& line, String& error) {
  try {
    TKyTextFile in;
    in.KeepLineBreaks = true;
    in.OpenRead(file);
    std::vector<String> kept;
    bool removed = false;
    String chunk;
    while (in.ReadLine(chunk)) {
      size_t end = chunk.size();
      while (end > 0 && (chunk[end - 1] == u'\r' || chunk[end - 1] == u'\n')) --end;
      if (StringView(chunk).substr(0, end) == line) {
        removed = true;
        continue;
      }
      kept.push_back(std::move(chunk));
    }
    Byte encoding = in.Encoding;
    bool bom = in.HadBom;
    int codePage = in.CodePage;
    in.Close();
    if (!removed) return true;
    TKyTextFile out;
    out.SetEncoding(encoding);
    out.CodePage = codePage;
    out.WriteBom = bom;
    out.Rewrite(file);
    for (const String& k : kept) out.Write(k);
    out.Close();
    return true;
  } catch (const Exception& e) {
    error = e.Message();
    return false;
  }
}

// ---- the run -----------------------------------------------------------------------

TUninstaller::TUninstaller(TUninstallFileSystem& fs, TUninstallFolders folders, String program)
    : Fs_(fs), Folders_(std::move(folders)), Rules_(Folders_), Program_(NormalizePath(program)) {
  Folders_.InstallDir = NormalizePath(Folders_.InstallDir);
}

void TUninstaller::Load(const TStringList& lines) {
  Records_ = ParseUninstallLog(lines);
  Left_.assign(Records_.size(), true);
  // A run stopped before the registry leaves no setup record to name the personal folder;
  // a folder that the log says was made right in the documents folder is that folder.
  String documents = NormalizePath(Folders_.Documents);
  if (documents.empty()) return;
  for (const TUninstallRecord& r : Records_) {
    if (r.Kind != TRecordKind::Dir) continue;
    String path = ResolveRecordPath(Folders_.InstallDir, r.Path);
    if (!path.empty() && SameText(ExtractFileDir(path), documents)) Rules_.AddRoot(path);
  }
}

bool TUninstaller::LogNamesValue(TRegRoot root, const String& key, const String& name) const {
  for (const TUninstallRecord& r : Records_) {
    if (r.Kind != TRecordKind::RegValue || r.Root != root || !SameText(KeyPath(r.Path), key)) continue;
    for (const auto& s : r.Splits)
      if (SameText(s.first, name)) return true;
  }
  return false;
}

bool TUninstaller::IsDeferred(const TUninstallRecord& r) const {
  const String localesKey = KeyPath(kLocalesKey);
  String key = KeyPath(r.Path);
  if (r.Kind == TRecordKind::RegValue) {
    if (r.Root == rkLocalMachine) {
      for (const String& k : Folders_.SetupKeys)
        if (SameText(k, key)) return true;
    }
    if (r.Root == rkCurrentUser && SameText(key, localesKey)) {
      for (const auto& s : r.Splits)
        if (SameText(NormalizePath(s.first), Program_)) return true;
    }
    return false;
  }
  if (r.Kind != TRecordKind::RegKey) return false;
  if (r.Root == rkLocalMachine) {
    for (const String& k : Folders_.SetupKeys)
      if (IsKeySameOrBelow(k, key)) return true;
  }
  return r.Root == rkCurrentUser && IsKeySameOrBelow(localesKey, key);
}

void TUninstaller::Run() {
  Problems_.clear();
  bool failed = false;
  std::vector<size_t> deferred, keptDirs;
  for (size_t i = Records_.size(); i-- > 0;) {
    const TUninstallRecord& r = Records_[i];
    if (IsDeferred(r)) {
      deferred.push_back(i);
      continue;
    }
    TOutcome o = r.Kind == TRecordKind::Dir ? UndoDir(r, false) : Undo(r);
    // A key that holds what others wrote stays for good; a folder may empty later.
    bool keptDir = o == TOutcome::Kept && r.Kind == TRecordKind::Dir;
    Left_[i] = o == TOutcome::Failed || keptDir;
    if (o == TOutcome::Failed) failed = true;
    if (keptDir) keptDirs.push_back(i);
  }
  // A folder of an earlier run may have emptied after its own record came up.
  for (size_t i : keptDirs) Left_[i] = UndoDir(Records_[i], true) != TOutcome::Done;
  if (!failed) {
    for (size_t i : deferred) {
      TOutcome o = Undo(Records_[i]);
      Left_[i] = o == TOutcome::Failed;
      if (o == TOutcome::Failed) failed = true;
    }
  }
  if (!failed) {
    size_t before = Problems_.size();
    RemoveUninstallEntries();
    failed = Problems_.size() != before;
  }
  Complete_ = !failed;
}

TStringList TUninstaller::RemainingLines() const {
  TStringList out;
  for (size_t i = 0; i < Records_.size(); ++i)
    if (Left_[i]) out.Add(Records_[i].Text);
  return out;
}

TUninstaller::TOutcome TUninstaller::Undo(const TUninstallRecord& r) {
  switch (r.Kind) {
    case TRecordKind::File: return UndoFile(r);
    case TRecordKind::Dir: return UndoDir(r, true);
    case TRecordKind::RegKey: return UndoRegKey(r);
    case TRecordKind::RegValue: return UndoRegValue(r);
    case TRecordKind::Line: return UndoLine(r);
  }
  return TOutcome::Done;
}

TUninstaller::TOutcome TUninstaller::UndoFile(const TUninstallRecord& r) {
  String path = ResolveRecordPath(Folders_.InstallDir, r.Path);
  if (!Rules_.MayRemoveFile(path)) {
    Problems_.push_back(Format(SUninstallLeftAlone, {path.empty() ? r.Text : path}));
    return TOutcome::Done;
  }
  // The program and its log go last, after the program has ended.
  if (SameText(path, Program_) || SameText(path, Folders_.InstallDir + u"\\" + kUninstallLogName)) return TOutcome::Done;
  if (!Fs_.FileExists(path)) {
    if (Fs_.DirExists(path)) Problems_.push_back(Format(SUninstallLeftAlone, {path}));
    return TOutcome::Done;
  }
  String error;
  if (Fs_.EraseFile(path, error)) return TOutcome::Done;
  Problems_.push_back(Format(SUninstallFileFailed, {path, error}));
  return TOutcome::Failed;
}

TUninstaller::TOutcome TUninstaller::UndoDir(const TUninstallRecord& r, bool report) {
  String path = ResolveRecordPath(Folders_.InstallDir, r.Path);
  if (SameText(path, Folders_.InstallDir)) return TOutcome::Done;  // removed after the program ends
  if (!Rules_.MayRemoveDir(path)) {
    if (report) Problems_.push_back(Format(SUninstallLeftAlone, {path.empty() ? r.Text : path}));
    return report ? TOutcome::Done : TOutcome::Kept;
  }
  if (!Fs_.DirExists(path)) return TOutcome::Done;
  String error;
  if (Fs_.RemoveDir(path, error)) return TOutcome::Done;
  if (report) Problems_.push_back(Format(SUninstallDirKept, {path}));
  return TOutcome::Kept;
}

TUninstaller::TOutcome TUninstaller::UndoRegKey(const TUninstallRecord& r) {
  String key = KeyPath(r.Path);
  String shown = RootKeyName(r.Root) + u"\\" + key;
  if (r.Root == 0) {
    Problems_.push_back(Format(SUninstallLeftAlone, {r.Text}));
    return TOutcome::Done;
  }
  TRegistry reg(r.Root);
  if (!reg.KeyExists(u"\\" + key)) return TOutcome::Done;
  if (!reg.OpenKeyReadOnly(u"\\" + key)) {
    Problems_.push_back(Format(SUninstallRegFailed, {shown}));
    return TOutcome::Failed;
  }
  TStringList names;
  reg.GetKeyNames(names);
  if (!names.Empty()) return TOutcome::Kept;
  reg.GetValueNames(names);
  for (int i = 0; i < names.Count(); ++i)
    if (!LogNamesValue(r.Root, key, names[i])) return TOutcome::Kept;
  reg.CloseKey();
  if (reg.DeleteKey(u"\\" + key)) return TOutcome::Done;
  Problems_.push_back(Format(SUninstallRegFailed, {shown}));
  return TOutcome::Failed;
}

TUninstaller::TOutcome TUninstaller::UndoRegValue(const TUninstallRecord& r) {
  String key = KeyPath(r.Path);
  if (r.Root == 0) {
    Problems_.push_back(Format(SUninstallLeftAlone, {r.Text}));
    return TOutcome::Done;
  }
  TRegistry reg(r.Root);
  if (!reg.OpenKey(u"\\" + key, false)) return TOutcome::Done;  // gone, and nothing to restore into
  const auto* split = &r.Splits.front();
  for (const auto& s : r.Splits) {
    if (reg.ValueExists(s.first)) {
      split = &s;
      break;
    }
  }
  const String& name = split->first;
  const String& previous = split->second;
  String shown = RootKeyName(r.Root) + u"\\" + key + u"\\" + name;
  try {
    if (previous.empty()) {
      if (reg.ValueExists(name) && !reg.DeleteValue(name)) {
        Problems_.push_back(Format(SUninstallRegFailed, {shown}));
        return TOutcome::Failed;
      }
    } else {
      reg.WriteString(name, previous);
    }
  } catch (const ERegistryException&) {
    Problems_.push_back(Format(SUninstallRegFailed, {shown}));
    return TOutcome::Failed;
  }
  return TOutcome::Done;
}

TUninstaller::TOutcome TUninstaller::UndoLine(const TUninstallRecord& r) {
  const auto* split = &r.Splits.front();
  for (const auto& s : r.Splits) {
    if (Fs_.FileExists(NormalizePath(s.first))) {
      split = &s;
      break;
    }
  }
  String file = NormalizePath(split->first);
  if (file.empty()) {
    Problems_.push_back(Format(SUninstallLeftAlone, {r.Text}));
    return TOutcome::Done;
  }
  if (!Fs_.FileExists(file)) return TOutcome::Done;
  String error;
  if (Fs_.RemoveLine(file, split->second, error)) return TOutcome::Done;
  Problems_.push_back(Format(SUninstallLineFailed, {split->second, file, error}));
  return TOutcome::Failed;
}

void TUninstaller::RemoveUninstallEntries() {
  TRegistry reg(rkLocalMachine);
  TStringList names;
  if (reg.OpenKeyReadOnly(TKyInstaller::UninstallRoot())) reg.GetKeyNames(names);
  reg.CloseKey();
  for (int i = 0; i < names.Count(); ++i) {
    String key = TKyInstaller::UninstallRoot() + u"\\" + names[i];
    TRegistry entry(rkLocalMachine);
    if (!entry.OpenKeyReadOnly(key)) continue;
    String target;
    try {
      target = NormalizePath(Unquote(entry.ReadString(u"UninstallString")));
    } catch (const ERegistryException&) {
      continue;
    }
    entry.CloseKey();
    if (target.empty() || !SameText(target, Program_)) continue;
    if (!entry.DeleteKey(key)) Problems_.push_back(Format(SUninstallRegFailed, {u"HKEY_LOCAL_MACHINE" + key}));
  }
}
