// Gettext PO files: the translations of the resource strings and form texts. Each entry's
// context (msgctxt) names what it translates: a resource string symbol, or
// Class.Component.Property (list items with their index, Items[2]).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kytypes.h"

// A malformed PO file: the message starts with "file:line: ".
class EPoError : public EKyException {
 public:
  EPoError(String message, int line) : EKyException(std::move(message)), Line(line) {}
  int Line;
};

struct TPoEntry {
  std::string Context;                  // UTF-8
  std::string Id;
  std::string IdPlural;
  std::vector<std::string> Strings;     // msgstr, or msgstr[0..n]
  std::vector<std::string> Flags;       // "fuzzy", "object-pascal-format", ...
  std::vector<std::string> References;  // "file:line"
  std::vector<std::string> Comments;    // translator (#) and extracted (#.) comments
  bool HasContext = false;
  bool Obsolete = false;                // #~ entries
  int Line = 0;                         // of the entry's first keyword
  bool HasFlag(std::string_view flag) const;
  bool Fuzzy() const { return HasFlag("fuzzy"); }
  // Translated: not fuzzy, and every msgstr filled.
  bool Translated() const;
};

struct TPoFile {
  std::vector<TPoEntry> Entries;  // the header (empty msgid, no context) included
  // The header's field ("Language", "Content-Type"); empty when absent.
  std::string HeaderField(std::string_view name) const;
};

// Reads a PO file (UTF-8, an optional byte-order mark). FileName goes into error messages.
TPoFile ReadPoFile(std::string_view text, const std::string& fileName);

// The quoted PO form of a text, split after each line break as editors write it.
std::string PoQuote(std::string_view keyword, std::string_view text);

// The format directives of a text in order (%s, %d, %0:s, %-10.3f; %% is none), as
// canonical "index:type" pairs. Texts without directives give an empty list.
std::vector<std::string> FormatDirectives(std::string_view text);
bool HasFormatDirectives(std::string_view text);
