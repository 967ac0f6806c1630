#include "lib/xml/kyxmlstring.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "lib/core/kysysutils.h"
#include "lib/xml/kyxmlpool.h"

namespace {

size_t BlockBytes(size_t length, size_t header) { return header + length * sizeof(Char); }

}  // namespace

TXmlString::TBlock* TXmlString::Make(StringView s) {
  if (s.empty()) return nullptr;
  if (s.size() > 0x7FFFFFFFu) throw std::length_error("XML text too long");
  void* mem = XmlPoolAlloc(BlockBytes(s.size(), sizeof(TBlock)));
  auto* b = new (mem) TBlock;
  b->Refs.store(1, std::memory_order_relaxed);
  b->Length = static_cast<std::uint32_t>(s.size());
  std::memcpy(b->Text(), s.data(), s.size() * sizeof(Char));
  return b;
}

void TXmlString::Free(TBlock* b) {
  size_t bytes = BlockBytes(b->Length, sizeof(TBlock));
  b->~TBlock();
  XmlPoolFree(b, bytes);
}

std::ostream& operator<<(std::ostream& o, const TXmlString& s) { return o << StringToUtf8(s.Str()); }
