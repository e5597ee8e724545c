object FormMsg: TFormMsg
  Left = 0
  Top = 0
  BorderStyle = bsSizeToolWin
  FormStyle = fsStayOnTop
  Caption = 'FormMsg'
  ClientHeight = 380
  ClientWidth = 556
  Color = clWindow
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  OnCreate = FormCreate
  OnResize = FormResize
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object B_Panel5: TB_Panel
    Left = 0
    Top = 0
    Width = 43
    Height = 343
    Align = alLeft
    Frame.StyleIn = b_fsNone
    Text.AlignHorz = b_ahCenter
    Text.AlignVert = b_avBottom
    Text.Text = ''
    object B_Image1: TB_Image
      Left = 5
      Top = 17
      Width = 32
      Height = 32
      Bitmaps.AlignHorz = b_ahCenter
      Bitmaps.AlignVert = b_avCenter
      Bitmaps.ImageIndexs = '0;1;2;3'
      Bitmaps.NameBitmap = 'WINDOW_MSG'
      Bitmaps.NameFile = 'B_LIB.DLL'
      Bitmaps.Number = 4
    end
    object B_BitBtn1: TB_BitBtn
      Left = 4
      Top = 54
      Width = 33
      Height = 25
      Hint = 'Скопировать сообщение'
      Frame.StyleIn = b_fsNone
      Text.Text = ''
      Bitmaps.ImagesName = 'App_ImageList16'
      Bitmaps.NameBitmap = 'IM_COPY'
      OnClick = B_BitBtn1Click
    end
  end
  object P_Button: TB_Panel
    Left = 43
    Top = 343
    Width = 513
    Height = 37
    Align = alBottom
    Color = clBtnFace
    Frame.StyleIn = b_fsNone
    Frame.BorderWidth = 4
    Text.Text = ''
  end
  object P_Text: TB_Panel
    Left = 43
    Top = 0
    Width = 513
    Height = 343
    Align = alClient
    Frame.Lines = [b_flBottom, b_flRight, b_flTop]
    Frame.StyleIn = b_fsNone
    Frame.BorderWidth = 6
    Text.Text = ''
    object M_Error: TB_Memo
      Left = 6
      Top = 6
      Width = 501
      Height = 113
      Align = alTop
      ScrollBars = ssVertical
      OnChange = M_TextClick
      OnClick = M_TextClick
      OnKeyUp = M_TextKeyUp
    end
    object B_Split1: TB_Split
      Left = 6
      Top = 119
      Width = 501
      Height = 4
      Cursor = crVSplit
      Align = alTop
      ControlResize = M_Error
      Orientation = b_oVertical
    end
    object M_Text: TB_Memo
      Left = 6
      Top = 123
      Width = 501
      Height = 214
      Align = alClient
      ScrollBars = ssBoth
      OnChange = M_TextClick
      OnClick = M_TextClick
      OnKeyUp = M_TextKeyUp
    end
  end
  object B_HiResTimer1: TB_HiResTimer
    Interval = 1000
    OnTimer = B_HiResTimer1Timer
  end
end
