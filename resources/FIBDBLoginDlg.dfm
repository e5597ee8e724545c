object frmFIBDBLoginDlg: TfrmFIBDBLoginDlg
  Left = 0
  Top = 0
  ActiveControl = EdPassword
  BorderStyle = bsDialog
  Caption = 'Database login'
  ClientHeight = 222
  ClientWidth = 293
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object Bevel1: TBevel
    Left = 8
    Top = 8
    Width = 271
    Height = 40
    Shape = bsFrame
  end
  object Label1: TLabel
    Left = 16
    Top = 12
    Width = 62
    Height = 13
    Caption = 'Database :'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'Tahoma'
    Font.Style = [fsBold]
    ParentFont = False
  end
  object lbDBName: TLabel
    Left = 16
    Top = 28
    Width = 263
    Height = 13
    AutoSize = False
    Caption = 'lbDBName'
  end
  object Bevel2: TBevel
    Left = 8
    Top = 53
    Width = 271
    Height = 87
    Shape = bsFrame
  end
  object Button1: TButton
    Left = 64
    Top = 150
    Width = 75
    Height = 25
    Caption = '&OK'
    Default = True
    ModalResult = 1
    TabOrder = 3
  end
  object Button2: TButton
    Left = 152
    Top = 150
    Width = 75
    Height = 25
    Cancel = True
    Caption = '&Cancel'
    ModalResult = 2
    TabOrder = 4
  end
  object Label2: TLabel
    Left = 16
    Top = 64
    Width = 61
    Height = 13
    Caption = 'User Name :'
  end
  object Label3: TLabel
    Left = 16
    Top = 88
    Width = 54
    Height = 13
    Caption = 'Password :'
  end
  object Label4: TLabel
    Left = 16
    Top = 112
    Width = 33
    Height = 13
    Caption = 'Role :'
  end
  object EdUserName: TEdit
    Left = 83
    Top = 60
    Width = 179
    Height = 21
    TabOrder = 0
  end
  object EdPassword: TEdit
    Left = 83
    Top = 84
    Width = 179
    Height = 21
    PasswordChar = 42
    TabOrder = 1
  end
  object EdRole: TEdit
    Left = 83
    Top = 108
    Width = 179
    Height = 21
    TabOrder = 2
  end
end
