object FormDBFind: TFormDBFind
  Left = 0
  Top = 0
  Width = 320
  Height = 224
  object List: TB_DBLookupList
    Left = 0
    Top = 0
    Width = 320
    Height = 176
    Align = alClient
    TabStop = False
  end
  object TabSet1: TTabSet
    Left = 0
    Top = 176
    Width = 320
    Height = 19
    Align = alBottom
  end
  object StatusBar: TB_Panel
    Left = 0
    Top = 195
    Width = 320
    Height = 29
    Align = alBottom
    object BB_OK: TB_BitBtn
      Left = 156
      Top = 4
      Width = 80
      Height = 21
      Hint = 'Принять'
      Align = alRight
      Default = True
      Text.Text = 'Принять'
      Bitmaps.ImagesName = 'App_ImageList16'
      Bitmaps.NameBitmap = 'IM_OK'
    end
    object BB_Cancel: TB_BitBtn
      Left = 236
      Top = 4
      Width = 80
      Height = 21
      Hint = 'Отменить'
      Align = alRight
      Text.Text = 'Закрыть'
      Bitmaps.ImagesName = 'App_ImageList16'
      Bitmaps.NameBitmap = 'IM_CLOSEW'
    end
  end
  object TreeDS: TDataSource
  end
end
