object Form1: TForm1
  Left = 595
  Top = 159
  Caption = 'Form1'
  ClientHeight = 346
  ClientWidth = 665
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object tvProcess: TTreeView
    Left = 2
    Top = 2
    Width = 661
    Height = 269
    Anchors = [akLeft, akTop, akRight, akBottom]
    Indent = 19
    TabOrder = 0
  end
  object Memo1: TMemo
    Left = 342
    Top = 12
    Width = 319
    Height = 257
    Lines.Strings = (
      'Memo1')
    ScrollBars = ssVertical
    TabOrder = 1
    Visible = False
  end
  object Button1: TButton
    Left = 6
    Top = 316
    Width = 75
    Height = 25
    Anchors = [akLeft, akBottom]
    Caption = 'Refresh'
    TabOrder = 2
    OnClick = Button1Click
  end
  object CB_Tree: TCheckBox
    Left = 8
    Top = 278
    Width = 149
    Height = 17
    Anchors = [akLeft, akBottom]
    Caption = 'Tree'
    TabOrder = 3
    OnClick = CB_TreeClick
  end
  object CB_AvroRefresh: TCheckBox
    Left = 8
    Top = 296
    Width = 161
    Height = 17
    Anchors = [akLeft, akBottom]
    Caption = 'Avto refresh 2 sec'
    TabOrder = 4
    OnClick = CB_AvroRefreshClick
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 2000
    OnTimer = Timer1Timer
  end
  object LSize: TLabel
    Left = 196
    Top = 276
    Width = 24
    Height = 13
    Anchors = [akLeft, akBottom]
    Caption = 'LSize'
  end
  object LInfo: TLabel
    Left = 366
    Top = 274
    Width = 25
    Height = 13
    Anchors = [akLeft, akBottom]
    Caption = 'LInfo'
  end
end
