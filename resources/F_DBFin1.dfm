object FormDBFindList: TFormDBFindList
  Left = 0
  Top = 0
  Width = 320
  Height = 310
  object TabSet1: TTabSet
    Left = 0
    Top = 262
    Width = 320
    Height = 19
    Align = alBottom
  end
  object List: TListView
    Left = 0
    Top = 0
    Width = 320
    Height = 262
    Align = alClient
    ColumnClick = False
    FlatScrollBars = True
    HideSelection = False
    OwnerData = True
    ReadOnly = True
    RowSelect = True
    ViewStyle = vsReport
  end
  object B_Panel1: TB_Panel
    Left = 0
    Top = 281
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
end
