#include "lib/install/kyinstaller.h"

#include <limits>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kystrutils.h"
#include "lib/core/kysystem.h"
#include "lib/install/kyzip.h"
#include "resstrings.h"

TKyPasswordPrompt KyPasswordPrompt;

namespace {
// Relative in the installer's sense; natively a leading "/" is absolute as well.
bool IsRelativeFolder(const String& path) { return IsRelativePath(path) && path[0] != u'/'; }

bool EndsInZip(const String& fileName) { return EndsText(u".zip", fileName); }
}  // namespace

String KyJoinPath(const String& dir, const String& name) {
  if (dir.empty() || IsPathDelimiter(dir.back())) return dir + name;
  return dir + PathDelimiter() + name;
}

// ---- components ----

TKyInstallComponent::TKyInstallComponent(const String& resourceName, const String& folder)
    : Folder(folder), ResourceName(resourceName) {
  if (!ResourceExists(resourceName)) return;
  auto stream = OpenResource(resourceName);
  TKyZipReader reader;
  reader.Open(*stream);
  std::uint64_t total = reader.TotalUncompressedSize();
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  Size = static_cast<std::int32_t>(total > kMax ? kMax : total);
}

bool TKyInstallComponent::ResourceExists(const String& name) {
  return HasResource(nullptr, name, kPayloadResourceType);
}

std::unique_ptr<TReadOnlyMemoryStream> TKyInstallComponent::OpenResource(const String& name) {
  return OpenResourceStream(nullptr, name, kPayloadResourceType);
}

void TKyInstallComponent::GetFileNames(TStringList& list) const {
  list.Clear();
  if (!Exists()) return;
  auto stream = OpenResource(ResourceName);
  TKyZipReader reader;
  reader.Open(*stream);
  for (const TKyZipEntry& e : reader.Entries()) list.Add(e.Name);
}

// ---- installer ----

TKyInstaller::TKyInstaller() : UninstallFile(std::make_unique<TKyUninstallFile>()) {}

TKyInstaller::~TKyInstaller() {
  UninstallFile.reset();
  Components_.clear();
}

void TKyInstaller::AfterConstruction() { DisplayName = GetProductName(); }

TKyInstallComponent* TKyInstaller::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format(SListIndexError, {index}));
  return Components_[static_cast<size_t>(index)].get();
}

int TKyInstaller::AddComponent(std::unique_ptr<TKyInstallComponent> component) {
  Components_.push_back(std::move(component));
  return ComponentCount() - 1;
}

TKyInstallComponent* TKyInstaller::FindComponent(const String& resourceName) const {
  for (const auto& c : Components_)
    if (c->ResourceName == resourceName) return c.get();
  return nullptr;
}

bool TKyInstaller::IsComponentSelected(const String& resourceName) const {
  TKyInstallComponent* c = FindComponent(resourceName);
  return c && c->Selected;
}

String TKyInstaller::GetSamplesDir() const { return SamplesToPersonalDir ? PersonalDir : InstallDir; }

void TKyInstaller::SetInstallDir(const String& dir) {
  InstallDir = dir;
  UninstallFile->FileName = KyJoinPath(dir, GetUninstallFileName());
}

void TKyInstaller::Install() {
  UninstallFile->Load();
  Aborted = false;
  StopWithinArchive = true;
  FoldersSeen_.clear();
  DoInstall();
  UninstallFile->Save();
}

String TKyInstaller::GetUniqueFileName(const String& fileName) {
  if (!FileExists(fileName)) return fileName;
  String ext = ExtractFileExt(fileName);
  String stem = fileName.substr(0, fileName.size() - ext.size());
  for (int n = 2;; ++n) {
    String candidate = Format(u"%s (%d)%s", {stem, n, ext});
    if (!FileExists(candidate)) return candidate;
  }
}

String TKyInstaller::GetUniqueDirName(const String& dir) {
  if (!DirectoryExists(dir)) return dir;
  // "X\ (2)" would be a folder inside X: number the folder itself.
  String base = dir;
  while (base.size() > 1 && IsPathDelimiter(base.back()) && base[base.size() - 2] != u':') base.pop_back();
  for (int n = 2;; ++n) {
    String candidate = Format(u"%s (%d)", {base, n});
    if (!DirectoryExists(candidate)) return candidate;
  }
}

String TKyInstaller::GetUniqueUninstallName(const String& name) {
  TRegistry reg(rkLocalMachine);
  if (!reg.OpenKeyReadOnly(UninstallRoot())) return name;
  if (!reg.KeyExists(name)) return name;
  for (int n = 2;; ++n) {
    String candidate = Format(u"%s (%d)", {name, n});
    if (!reg.KeyExists(candidate)) return candidate;
  }
}

// ---- shell and help ----

bool TKyInstaller::CreateShortcut(const String& dir, const String& fileName, bool uniqueName, const String& linkName) {
  String target = KyJoinPath(dir, fileName);
  String link = KyJoinPath(ShortcutDir, linkName);
  if (uniqueName) link = GetUniqueFileName(link);
  if (!FileExists(target) || FileExists(link)) return false;
  try {
    CreateShellLink(dir, fileName, String(), link);
  } catch (...) {
    // A shortcut is a convenience: failing to make one never stops the run.
  }
  return true;
}

void TKyInstaller::RegisterHelpFile(const String& fileName) {
  TRegistry reg(rkLocalMachine);
  if (!reg.OpenKey(u"SOFTWARE\\Microsoft\\Windows\\Help", false)) return;
  String name = ExtractFileName(fileName);
  String folder = ExtractFileDir(fileName);
  UninstallFile->AddRegValueIfChanged(reg, name, folder);
  reg.WriteString(name, folder);
}

// ---- extraction ----

void TKyInstaller::CreateFolder(const String& dir) {
  if (dir.empty()) return;
  CreateDir(dir);
  UninstallFile->AddDir(dir);
}

void TKyInstaller::InstallComponent(TKyInstallComponent* component) {
  if (!component || !component->Selected || !component->Exists()) return;
  CurrentComponent = component;
  if (OnComponent) OnComponent(this, component);
  String target = component->Folder;
  if (dynamic_cast<TKySampleComponent*>(component)) target = KyJoinPath(GetSamplesDir(), component->Folder);
  ExtractResource(component->ResourceName, target);
}

void TKyInstaller::ExtractResource(const String& resourceName, const String& targetFolder) {
  String target = targetFolder;
  if (target.empty()) {
    target = InstallDir;
  } else if (IsRelativeFolder(target)) {
    target = KyJoinPath(InstallDir, target);
  }
  if (!DirectoryExists(target)) CreateFolder(target);
  CurrentResource = resourceName;

  auto stream = TKyInstallComponent::OpenResourceFile(resourceName);
  TKyZipReader reader;
  reader.Open(*stream);
  reader.Destination = target;
  Destination_ = target;
  AbortSkipped_ = false;
  reader.OnStartEntry = [this](TKyZipReader&, int index, String& fileName, bool& skip) {
    DoStartUnZip(index, fileName, skip);
  };
  reader.OnEndEntry = [this](TKyZipReader&, int index, const String& fileName) { DoEndUnZip(index, fileName); };
  // A stop request ends the archive at once, also inside a big entry.
  reader.OnProgress = [this](TKyZipReader&, int percent, bool& stop) {
    DoTotalPercentDone(percent);
    stop = Aborted && StopWithinArchive;
  };
  reader.OnBadPassword = [this](TKyZipReader&, int index, RawBytes& password) { DoBadPassword(index, password); };
  reader.ExtractAll();
  ProgressDone += 100;
}

std::vector<String> KyFolderLevels(const String& dir) {
  std::vector<String> levels;
  size_t start = ExtractFileDrive(dir).size();
  while (start < dir.size() && IsPathDelimiter(dir[start])) ++start;
  for (size_t i = start; i <= dir.size(); ++i) {
    if (i == dir.size() || IsPathDelimiter(dir[i])) {
      if (i > start && !IsPathDelimiter(dir[i - 1])) levels.push_back(dir.substr(0, i));
    }
  }
  return levels;
}

void TKyInstaller::DoStartUnZip(int entryIndex, const String& fileName, bool& skip) {
  if (AbortSkipped_) {
    // Once abort was seen, later entries of this archive are neither written nor recorded.
    skip = true;
    return;
  }
  bool isFolder = !fileName.empty() && IsPathDelimiter(fileName.back());
  if (CurrentComponent && !EndsInZip(fileName)) {
    // Folder entries are no files: nothing to offer for skipping.
    if (OnFile && !isFolder) {
      OnFile(this, CurrentComponent->ResourceName, skip, fileName);
      if (skip) return;
    }
    String folder = isFolder ? ExcludeTrailingBackslash(fileName) : ExtractFileDir(fileName);
    for (const String& level : KyFolderLevels(folder)) {
      if (!FoldersSeen_.insert(UpperCase(level)).second) continue;
      // Made here, or missing and not made (the write fails later): recorded either way.
      if (CreateDir(level) || !DirectoryExists(level)) UninstallFile->AddDir(level);
    }
    if (!isFolder) {
      UninstallFile->AddFile(fileName);
      FileLogged(fileName);
    }
  }
  if (Aborted && StopWithinArchive) {
    skip = true;
    AbortSkipped_ = true;
  }
}

void TKyInstaller::DoEndUnZip(int entryIndex, const String& fileName) {
  if (EndsInZip(fileName)) ExtractNested(fileName);
}

void TKyInstaller::ExtractNested(const String& archiveFile) {
  bool outerSkipped = AbortSkipped_;
  try {
    TKyZipReader reader;
    reader.OpenFile(archiveFile);
    reader.Destination = Destination_;
    reader.OnStartEntry = [this](TKyZipReader&, int index, String& fileName, bool& skip) {
      DoStartUnZip(index, fileName, skip);
    };
    reader.ExtractAll();
  } catch (...) {
    RemoveFile(archiveFile);
    AbortSkipped_ = outerSkipped;
    throw;
  }
  RemoveFile(archiveFile);
  AbortSkipped_ = outerSkipped || AbortSkipped_;
}

void TKyInstaller::DoTotalPercentDone(int percent) {
  if (OnProgress) {
    // A run that prepared no total reports the archive's own percentage.
    std::int64_t value = ProgressTotal > 0
                             ? (static_cast<std::int64_t>(percent) + ProgressDone) * 100 / ProgressTotal
                             : percent;
    OnProgress(this, static_cast<int>(value), Aborted);
  } else {
    // Only sets the flag: a stop request made elsewhere is not forgotten.
    if (PumpMessages(true)) Aborted = true;
  }
}

void TKyInstaller::DoBadPassword(int entryIndex, std::string& password) {
  String text;
  if (KyPasswordPrompt && KyPasswordPrompt(text)) {
    // Traditional Zip passwords are bytes in the system code page.
    password = WideToCodePage(text, GetSystemCodePage());
  } else {
    password.clear();
  }
}
