#include "lib/install/kytextlines.h"

#include "lib/core/kytextfile.h"

void ReadTextLines(const String& fileName, TStringList& lines) {
  lines.Clear();
  TKyTextFile file;
  file.OpenRead(fileName);
  String line;
  while (file.ReadLine(line)) lines.Add(line);
  file.Close();
}

void WriteUtf8Lines(const String& fileName, const TStringList& lines) {
  TKyTextFile file;
  file.SetEncoding(TKyTextFile::ekUtf8);
  file.WriteBom = true;
  file.Rewrite(fileName);
  for (int i = 0; i < lines.Count(); ++i) {
    file.Write(lines[i]);
    file.Write(u"\r\n");
  }
  // Close commits: the temporary file replaces the log only when it was written whole.
  file.Close();
}
