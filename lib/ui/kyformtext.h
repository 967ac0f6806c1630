// The text form: the source of a form resource, one file per window class.
//
//   object ExitSetupDialog: TExitSetupDialog        (inherited / inline for an ancestor's)
//     Caption = 'Exit Setup'                        strings: '..' with '' and #nnn, joined by +
//     ClientWidth = 377                             integers, 1.5 (also 1.5d 1.5s 1.5c)
//     Font.Style = [fsBold]                          sets; True False nil; identifiers
//     Items.Strings = ( 'One' 'Two' )                lists; <item .. end> collections; {hex}
//     OnClick = ExitButtonClick                      event handler names are identifiers
//     object Label1: TLabel ... end
//   end
//
// Lines starting with "//" are comments. The file is UTF-8.
#pragma once

#include <string>

#include "lib/core/kyexceptions.h"
#include "lib/ui/kyformstream.h"

// A malformed text form: the message names the file, the line and the reason.
class EFormTextError : public EKyException {
 public:
  EFormTextError(String message, int line) : EKyException(std::move(message)), Line(line) {}
  int Line;
};

TFormRecord ParseFormText(const std::string& utf8, const String& fileName);
// The text form of a record (what ParseFormText reads back to the same record).
std::string FormToText(const TFormRecord& root);
