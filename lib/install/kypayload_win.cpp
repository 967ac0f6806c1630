#include "lib/core/kyexceptions.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"

namespace {
// Where Size bytes at P of a module's image lie in its file: inside the raw data of one
// section (beyond it a section is zero-filled memory that no file holds).
bool FileOffsetInImage(HMODULE module, const void* p, std::uint64_t size, std::uint64_t& offset) {
  auto base = reinterpret_cast<const Byte*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
  auto rva = static_cast<std::uint64_t>(static_cast<const Byte*>(p) - base);
  const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s) {
    if (rva >= s->VirtualAddress && rva + size <= std::uint64_t{s->VirtualAddress} + s->SizeOfRawData) {
      offset = s->PointerToRawData + (rva - s->VirtualAddress);
      return true;
    }
  }
  return false;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* names = reinterpret_cast<TStringList*>(param);
  if (IS_INTRESOURCE(name)) {
    names->Add(u"#" + IntToStr(static_cast<std::int64_t>(reinterpret_cast<ULONG_PTR>(name))));
  } else {
    names->Add(FromW(name));
  }
  return TRUE;
}
}  // namespace

std::unique_ptr<TStream> TKyInstallComponent::OpenResourceFile(const String& name) {
  auto memory = OpenResource(name);
  std::uint64_t offset = 0, size = static_cast<std::uint64_t>(memory->Size());
  HMODULE module = GetModuleHandleW(nullptr);
  if (FileOffsetInImage(module, memory->Memory(), size, offset)) {
    try {
      return std::make_unique<TFileRangeStream>(ProgramFileName(), offset, size);
    } catch (const EFOpenError&) {
      // The program file cannot be read (gone, no rights): its mapped image still can.
    }
  }
  return memory;
}

void TKyInstallComponent::GetResourceNames(TStringList& names) {
  names.Clear();
  // The setup's own module, not the language module that resource strings come from.
  EnumResourceNamesW(GetModuleHandleW(nullptr), W(String(kPayloadResourceType)), CollectName,
                     reinterpret_cast<LONG_PTR>(&names));
}
