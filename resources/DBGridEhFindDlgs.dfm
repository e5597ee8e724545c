object DBGridEhFindDlg: TDBGridEhFindDlg
  Left = 0
  Top = 0
  BorderStyle = bsDialog
  Caption = 'Find text'
  ClientHeight = 124
  ClientWidth = 505
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -10
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  KeyPreview = True
  OldCreateOrder = False
  Position = poScreenCenter
  OnKeyDown = FormKeyDown
  PixelsPerInch = 96
  TextHeight = 13
  object Label1: TLabel
    Left = 10
    Top = 12
    Width = 56
    Height = 13
    Caption = 'Fi&nd What:'
  end
  object Label2: TLabel
    Left = 10
    Top = 35
    Width = 40
    Height = 13
    Caption = 'Find &in:'
  end
  object cbMatchType: TLabel
    Left = 10
    Top = 58
    Width = 36
    Height = 13
    Caption = 'Matc&h:'
  end
  object Label3: TLabel
    Left = 10
    Top = 82
    Width = 40
    Height = 13
    Caption = 'Sea&rch:'
  end
  object cbText: TDBComboBoxEh
    Left = 88
    Top = 9
    Width = 316
    Height = 21
    DropDownBox.Rows = 17
    DropDownBox.Sizable = True
    EditButton.Visible = False
    TabOrder = 0
    OnChange = cbTextChange
  end
  object cbFindIn: TDBComboBoxEh
    Left = 88
    Top = 32
    Width = 192
    Height = 21
    DropDownBox.Rows = 17
    DropDownBox.Sizable = True
    EditButton.Visible = False
    TabOrder = 1
    OnChange = cbFindInChange
  end
  object cbMatchinType: TDBComboBoxEh
    Left = 88
    Top = 55
    Width = 144
    Height = 21
    Items.Strings = (
      'From any part of field'
      'Whole field'
      'From beging of field')
    KeyItems.Strings = (
      'From any part of field'
      'Whole field'
      'From beging of field')
    TabOrder = 2
    Text = 'From any part of field'
  end
  object cbFindDirection: TDBComboBoxEh
    Left = 88
    Top = 79
    Width = 144
    Height = 21
    Items.Strings = (
      'Up'
      'Down'
      'All')
    KeyItems.Strings = (
      'Up'
      'Down'
      'All')
    TabOrder = 3
    Text = 'All'
    OnChange = cbTextChange
  end
  object cbCharCase: TDBCheckBoxEh
    Left = 88
    Top = 105
    Width = 144
    Height = 14
    Caption = 'Match &Case'
    TabOrder = 4
  end
  object cbUseFormat: TDBCheckBoxEh
    Left = 260
    Top = 105
    Width = 144
    Height = 14
    Caption = 'Match F&ormat'
    Checked = True
    TabOrder = 5
  end
  object bFind: TButton
    Left = 413
    Top = 9
    Width = 82
    Height = 23
    Caption = '&Find next'
    TabOrder = 6
    OnClick = bFindClick
  end
  object bCancel: TButton
    Left = 413
    Top = 37
    Width = 82
    Height = 22
    Cancel = True
    Caption = 'Close'
    ModalResult = 2
    TabOrder = 7
    OnClick = bCancelClick
  end
end
