unit MainFrm;

interface

uses
  SysUtils, Classes, Controls, Forms, StdCtrls;

type
  TMainForm = class(TForm)
    ValueEdit: TEdit;
    UnitCombo: TComboBox;
    ConvertButton: TButton;
    ResultLabel: TLabel;
    procedure ConvertButtonClick(Sender: TObject);
  end;

var
  MainForm: TMainForm;

resourcestring
  SResult = '%0.2f %s is %0.2f %s';
  SKilometres = 'kilometres';
  SMiles = 'miles';

implementation

{$R *.dfm}

procedure TMainForm.ConvertButtonClick(Sender: TObject);
var
  Value: Double;
begin
  Value := StrToFloat(ValueEdit.Text);
  if UnitCombo.ItemIndex = 0 then
    ResultLabel.Caption := Format(SResult, [Value, SKilometres, Value / 1.609344, SMiles])
  else
    ResultLabel.Caption := Format(SResult, [Value, SMiles, Value * 1.609344, SKilometres]);
end;

end.
