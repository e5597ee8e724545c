// Paints a data grid over a table of an embedded Firebird database: a few
// hundred rows of integers, NUMERIC amounts, dates, Cyrillic names, a
// Boolean shown as check boxes and NULLs, with two-level titles, a footer
// row with a sum and a count, the filter row, two sort markers, the
// indicator and a selected rectangle. Checks some pixels and writes a PNG;
// with --show it shows the window instead until it is closed.
//   render_grid [--show] [OUT.png]
#include <QImage>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Forms.h"
#include "tests/framework/render/RenderMain.h"
#include "tests/support/fb/FIBTestSupport.h"

namespace {

bool g_show = false;

const std::vector<std::string>& Tables() {
  static const std::vector<std::string> t = {
      "create table GOODS (ID integer not null primary key, NAME varchar(40), QTY integer, PRICE numeric(15,2), "
      "SOLD date, ACTIVE boolean, CODE char(4))",
      "execute block as declare i integer = 1; begin while (i <= 300) do begin "
      "insert into GOODS values (:i, decode(mod(:i, 4), 0, 'Чай', 1, 'Сахар', 2, 'Мука', 'Соль') || ' №' || :i, "
      "iif(mod(:i, 7) = 0, null, mod(:i * 37, 500) - 50), :i * 12.5 / 7, dateadd(:i day to date '2024-01-01'), "
      "mod(:i, 3) = 0, iif(mod(:i, 5) = 0, null, 'К' || mod(:i, 10))); i = i + 1; end end",
  };
  return t;
}

void SetColumn(TColumnEh* C, const char* Caption, int Width) {
  C->Title()->SetCaption(Caption);
  C->SetWidth(Width);
}

int Render(const String& Out) {
  fbtest::InitFIBUnits();
  InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
  fbtest::TTempDatabase file("UTF8");
  file.Exec(Tables());
  int code = 0;
  {
    std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
    form->SetCaption("Товары");
    form->SetBounds(40, 40, 820, 460);
    TFIBDatabase* db = fbtest::ConnectFIBDatabase(form.get(), file.Path());
    auto* ds = new TpFIBDataSet(form.get());
    ds->SetDatabase(db);
    ds->SelectSQL()->SetText("select ID, NAME, QTY, PRICE, SOLD, ACTIVE, CODE from GOODS order by ID");
    auto* src = new TDataSource(form.get());
    src->SetDataSet(ds);

    auto* grid = new TCustomDBGridEh(form.get());
    grid->SetParent(form.get());
    grid->SetAlign(alClient);
    grid->SetUseMultiTitle(true);
    grid->SetFooterRowCount(1);
    grid->SetOptions(grid->Options() + TDBGridOptions{dgMultiSelect});
    grid->SetOptionsEh(grid->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
    grid->SetAllowedSelections({gstRecordBookmarks, gstRectangle, gstColumns, gstAll});
    grid->SetDataSource(src);
    ds->Open();

    TDBGridColumnsEh* cols = grid->Columns();
    SetColumn(cols->Items(0), "Товар|Код", 50);
    SetColumn(cols->Items(1), "Товар|Наименование", 150);
    SetColumn(cols->Items(2), "Склад|Количество", 90);
    SetColumn(cols->Items(3), "Склад|Цена", 90);
    SetColumn(cols->Items(4), "Продажа|Дата", 90);
    SetColumn(cols->Items(5), "Продажа|Активен", 70);
    SetColumn(cols->Items(6), "Шифр", 60);
    cols->Items(5)->SetCheckboxes(true);
    cols->Items(0)->Footer()->SetValueType(fvtCount);
    cols->Items(3)->Footer()->SetValueType(fvtSum);
    cols->Items(1)->Footer()->SetValueType(fvtStaticText);
    cols->Items(1)->Footer()->SetValue("Итого:");
    cols->Items(1)->Footer()->SetAlignment(taRightJustify);
    cols->Items(3)->Title()->SetSortMarker(smDownEh);
    cols->Items(1)->Title()->SetSortMarker(smUpEh);
    grid->STFilter()->SetVisible(true);
    grid->SumList()->RecalcAll();

    // The current record is the third; a rectangle from the second to the
    // fourth record over the quantity and the price is selected. The window
    // exists first, so the grid's record window holds its rows from the top.
    form->HandleNeeded();
    ds->MoveBy(1);
    const TBookmark from = ds->Bookmark();
    ds->MoveBy(2);
    const TBookmark to = ds->Bookmark();
    grid->Selection()->Rect()->Select(2, from, false);
    grid->Selection()->Rect()->Select(3, to, true);
    ds->First();
    ds->MoveBy(2);

    if (g_show) {
      // Shown until the window is closed.
      form->ShowModal();
    } else {
      form->HandleNeeded();
      QImage image = form->Widget()->grab().toImage();
      auto rgb = [&](int X, int Y) {
        const QColor c = image.pixelColor(X, Y);
        return static_cast<int32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
      };
      // The filter row is the fixed colour lightened by an eighth.
      const TRect filter = grid->CellRect(grid->IndicatorOffset() + 1, grid->TitleOffset() - 1);
      int32_t face = ColorToRGB(grid->FixedColor()), light = 0;
      for (int s = 0; s <= 16; s += 8) light |= std::min(255, ((face >> s) & 0xFF) * 9 / 8) << s;
      const TPoint g = grid->ClientToScreen(TPoint{filter.Right - 3, filter.Bottom - 2});
      const TPoint o = form->ClientToScreen(TPoint{0, 0});
      const TPoint at{g.X - o.X, g.Y - o.Y};
      if (rgb(at.X, at.Y) != light) {
        std::fprintf(stderr, "the filter row is %06X, not %06X\n", rgb(at.X, at.Y), light);
        code = 1;
      }
      if (grid->GetFooterValue(0, cols->Items(0)) != "300") {
        std::fprintf(stderr, "the footer counts %s records\n", grid->GetFooterValue(0, cols->Items(0)).c_str());
        code = 1;
      }
      if (!image.save(QString::fromStdString(Out), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", Out.c_str());
        code = 1;
      } else {
        std::printf("%s\n", Out.c_str());
      }
    }
    ds->Close();
    if (db->DefaultTransaction()->Active()) db->DefaultTransaction()->Commit();
  }
  fbtest::FinishFIBUnits();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--show") == 0) {
    g_show = true;
    --argc;
    ++argv;
  }
  return RenderMain(argc, argv, RENDER_GRID_OUT, {&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList},
                    Render);
}
