// A list of strings with an optional object pointer per string (not owned),
// sorting and case-insensitive search.
#pragma once

#include <functional>
#include <vector>

#include "lib/core/kytypes.h"

enum class TDuplicates { Ignore, Accept, Error };

class TStringList {
 public:
  TStringList() = default;
  virtual ~TStringList() = default;
  TStringList(const TStringList&) = default;
  TStringList& operator=(const TStringList&) = default;

  int Count() const { return static_cast<int>(Items_.size()); }
  bool Empty() const { return Items_.empty(); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  const String& Strings(int index) const;
  const String& operator[](int index) const { return Strings(index); }
  void SetString(int index, const String& s);
  void* Objects(int index) const;
  void SetObject(int index, void* object);

  // In a sorted list Add inserts at the sorted place and honours Duplicates.
  int Add(const String& s);
  int AddObject(const String& s, void* object);
  void AddStrings(const TStringList& other);
  void Insert(int index, const String& s);
  void InsertObject(int index, const String& s, void* object);
  void Delete(int index);
  void Clear();
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Assign(const TStringList& other);

  // First index of S (ignoring case unless CaseSensitive), -1 when absent.
  int IndexOf(StringView s) const;
  int IndexOfObject(const void* object) const;
  // Binary search in a sorted list: true when found; Index is the place either way.
  bool Find(StringView s, int& index) const;

  bool Sorted() const { return Sorted_; }
  void SetSorted(bool sorted);
  bool CaseSensitive() const { return CaseSensitive_; }
  void SetCaseSensitive(bool value);
  TDuplicates Duplicates = TDuplicates::Ignore;
  void Sort();
  // Compare returns negative, 0 or positive for the strings at two indexes.
  void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);

  // Lines joined with CR LF after each; SetText splits at CR LF, LF or CR.
  String Text() const;
  void SetText(StringView text);
  // "Name=Value" helpers.
  String Names(int index) const;
  String ValueFromIndex(int index) const;
  String Values(StringView name) const;
  void SetValue(StringView name, StringView value);
  int IndexOfName(StringView name) const;

 protected:
  int CompareStrings(StringView a, StringView b) const;

 private:
  struct Item {
    String Text;
    void* Object = nullptr;
  };
  void CheckIndex(int index) const;
  std::vector<Item> Items_;
  bool Sorted_ = false;
  bool CaseSensitive_ = false;
};
