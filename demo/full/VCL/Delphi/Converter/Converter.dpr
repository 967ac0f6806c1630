program Converter;

{ Converts between metric and imperial units; every text of its form is translated. }

uses
  Forms,
  MainFrm in 'MainFrm.pas' {MainForm};

{$R *.res}

begin
  Application.Initialize;
  Application.Title := 'Unit Converter';
  Application.CreateForm(TMainForm, MainForm);
  Application.Run;
end.
