// Converter: the unit converter sample for C++Builder.
#include <vcl.h>
#pragma hdrstop

USEFORM("MainFrm.cpp", MainForm);

WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
  Application->Initialize();
  Application->Title = "Unit Converter";
  Application->CreateForm(__classid(TMainForm), &MainForm);
  Application->Run();
  return 0;
}
