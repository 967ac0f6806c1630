#include "lib/install/kyuninstall.h"

#include <vector>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kytextlines.h"

namespace {
const String kSep = u";";

// Splits a path after its drive into its folder names; both delimiters count.
std::vector<String> SplitPath(StringView path) {
  std::vector<String> parts;
  String cur;
  for (Char c : path) {
    if (IsPathDelimiter(c)) {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}
}  // namespace

String TKyUninstallFile::GetFolder() const { return ExtractFileDir(FileName); }

String TKyUninstallFile::RelativePath(const String& path) const {
  String folder = ExcludeTrailingBackslash(GetFolder());
  String target = ExcludeTrailingBackslash(path);
  if (SameText(target, folder)) return String();
  String drive = ExtractFileDrive(target);
  bool rooted = target.size() > drive.size() && IsPathDelimiter(target[drive.size()]);
  // Another drive, or a path without a root folder ("C:x", "x"): kept as it is.
  if (!rooted || !SameText(drive, ExtractFileDrive(folder))) return target;
  std::vector<String> from = SplitPath(StringView(folder).substr(drive.size()));
  std::vector<String> to = SplitPath(StringView(target).substr(drive.size()));
  size_t common = 0;
  while (common < from.size() && common < to.size() && SameText(from[common], to[common])) ++common;
  String out;
  for (size_t i = common; i < from.size(); ++i) out += u"..\\";
  for (size_t i = common; i < to.size(); ++i) {
    out += to[i];
    if (i + 1 < to.size()) out += u'\\';
  }
  return ExcludeTrailingBackslash(out);
}

void TKyUninstallFile::IndexLines() {
  Index_.clear();
  for (int i = 0; i < Lines.Count(); ++i) Index_.emplace(UpperCase(Lines[i]), i);
  IndexedCount_ = Lines.Count();
}

void TKyUninstallFile::AddLine(const String& line) {
  if (line.empty()) return;
  if (IndexedCount_ != Lines.Count()) IndexLines();
  String key = UpperCase(line);
  if (auto it = Index_.find(key); it != Index_.end()) {
    if (SameText(Lines[it->second], line)) return;
    // A record changed in place since the index was made: a new index tells.
    IndexLines();
    if (Index_.count(key)) return;
  }
  Lines.Add(line);
  Index_.emplace(std::move(key), Lines.Count() - 1);
  IndexedCount_ = Lines.Count();
}

void TKyUninstallFile::AddDir(const String& dir) { AddLine(u"dir" + kSep + RelativePath(dir)); }

void TKyUninstallFile::AddFile(const String& fileName) { AddLine(u"file" + kSep + RelativePath(fileName)); }

void TKyUninstallFile::AddNewFile(const String& fileName) {
  if (!FileExists(fileName)) AddFile(fileName);
}

void TKyUninstallFile::AddRegKey(const TRegistry& registry, const String& key) {
  AddLine(u"regkey" + kSep + RootKeyName(registry.RootKey()) + kSep + key);
}

void TKyUninstallFile::AddNewRegKey(TRegistry& registry, const String& key) {
  if (!registry.KeyExists(key)) AddRegKey(registry, key);
}

void TKyUninstallFile::AddNewRegKeyLevels(TRegistry& registry, const String& key) {
  for (size_t i = 1; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == u'\\') AddNewRegKey(registry, key.substr(0, i));
  }
}

void TKyUninstallFile::AddRegValue(const TRegistry& registry, const String& name, const String& previousValue) {
  AddLine(u"regvalue" + kSep + RootKeyName(registry.RootKey()) + kSep + registry.CurrentPath() + kSep + name + kSep +
          previousValue);
}

void TKyUninstallFile::AddRegValueIfChanged(TRegistry& registry, const String& name, const String& newValue) {
  // A value that is not there yet is a change even when it is set to the empty text:
  // the uninstaller must take it away again.
  if (!registry.ValueExists(name)) {
    AddRegValue(registry, name, String());
    return;
  }
  String current = registry.ReadString(name);
  if (current != newValue) AddRegValue(registry, name, current);
}

void TKyUninstallFile::AddLineEntry(const String& textFile, const String& line) {
  AddLine(u"line" + kSep + textFile + kSep + line);
}

void TKyUninstallFile::AddLineIfMissing(const String& textFile, const String& line) {
  TStringList lines;
  if (FileExists(textFile)) ReadTextLines(textFile, lines);
  for (int i = 0; i < lines.Count(); ++i)
    if (SameText(lines[i], line)) return;
  AddLineEntry(textFile, line);
}

void TKyUninstallFile::Load() {
  Lines.Clear();
  if (!FileExists(FileName)) return;
  TStringList lines;
  ReadTextLines(FileName, lines);
  for (int i = 0; i < lines.Count(); ++i)
    if (!lines[i].empty()) Lines.Add(lines[i]);
}

void TKyUninstallFile::Save() { WriteUtf8Lines(FileName, Lines); }
