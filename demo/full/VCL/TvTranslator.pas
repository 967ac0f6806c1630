unit TvTranslator;

{ Switches the user interface of a VCL application to another language at run time by
  loading the resource module (Project1.DEU, Project1.JPN, ...) that Tramvelon created. }

interface

uses
  Windows, SysUtils, Classes, Forms;

type
  TTvTranslator = class(TComponent)
  private
    FLanguage: string;
    procedure SetLanguage(const Value: string);
  public
    function LoadResourceModule(const Code: string): Boolean;
  published
    property Language: string read FLanguage write SetLanguage;
  end;

procedure Register;

implementation

function TTvTranslator.LoadResourceModule(const Code: string): Boolean;
var
  FileName: string;
  Module: HMODULE;
begin
  FileName := ChangeFileExt(Application.ExeName, '.' + Code);
  Module := LoadLibraryEx(PChar(FileName), 0, LOAD_LIBRARY_AS_DATAFILE);
  Result := Module <> 0;
  if Result then
    FindHInstance(Application.MainForm).ResInstance := Module;
end;

procedure TTvTranslator.SetLanguage(const Value: string);
begin
  if (Value <> FLanguage) and LoadResourceModule(Value) then
    FLanguage := Value;
end;

procedure Register;
begin
  RegisterComponents('Tramvelon', [TTvTranslator]);
end;

end.
