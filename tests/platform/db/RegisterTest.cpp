// Datasets, fields and data sources read from and written to form text.
#include "platform/rtl/FormStream.h"
#include "platform/rtl/TypInfo.h"
#include "tests/platform/db/DbFixture.h"

namespace {

TEST(RegisterTest, FormTextCreatesFieldsAndSources) {
  InitializeUnits({&unit_DB});
  RegisterClass<TMemDataSet, TDataSet>("TMemDataSet");
  auto root = std::make_unique<TComponent>(nullptr);
  root->SetName("Root");
  ReadComponentFromText(root.get(), R"(object Root: TComponent
  object Mem: TMemDataSet
    Filter = 'ID > 1'
    Filtered = True
    object MemID: TIntegerField
      FieldName = 'ID'
      DisplayLabel = 'Number'
      Alignment = taCenter
      MaxValue = 10
    end
    object MemNAME: TStringField
      FieldName = 'NAME'
      Size = 8
      Required = True
    end
    object MemUP: TStringField
      FieldKind = fkCalculated
      FieldName = 'UP'
    end
  end
  object Src: TDataSource
    AutoEdit = False
    DataSet = Mem
  end
end
)");
  auto* mem = dynamic_cast<TMemDataSet*>(root->FindComponent("Mem"));
  auto* src = dynamic_cast<TDataSource*>(root->FindComponent("Src"));
  ASSERT_NE(mem, nullptr);
  ASSERT_NE(src, nullptr);
  EXPECT_EQ(src->DataSet(), mem);
  EXPECT_FALSE(src->AutoEdit());
  ASSERT_EQ(mem->FieldCount(), 3);
  TField* id = mem->FieldByName("ID");
  EXPECT_EQ(id->ClassName(), "TIntegerField");
  EXPECT_EQ(id->DisplayLabel(), "Number");
  EXPECT_EQ(id->Alignment(), taCenter);
  EXPECT_EQ(static_cast<TIntegerField*>(id)->MaxValue(), 10);
  EXPECT_EQ(mem->FieldByName("NAME")->Size(), 8);
  EXPECT_TRUE(mem->FieldByName("NAME")->Required());
  EXPECT_EQ(mem->FieldByName("UP")->FieldKind(), fkCalculated);

  // The persistent fields bind to the definitions given in code.
  mem->FieldDefs()->Add("ID", ftInteger);
  mem->FieldDefs()->Add("NAME", ftString, 8);
  mem->SetOnCalcFields([](TDataSet* d) { d->FieldByName("UP")->SetAsString(UpperCase(d->FieldByName("NAME")->AsString())); });
  mem->Open();
  mem->AppendRows({{1, "a"}, {2, "b"}});
  mem->First();
  EXPECT_EQ(mem->FieldByName("UP")->AsString(), "B");  // filtered: ID > 1
  mem->Close();

  String text = WriteComponentToText(root.get());
  EXPECT_NE(text.find("object MemID: TIntegerField"), String::npos) << text;
  EXPECT_NE(text.find("DisplayLabel = 'Number'"), String::npos);
  EXPECT_EQ(text.find("DisplayWidth"), String::npos);
  EXPECT_EQ(text.find("DisplayLabel = 'NAME'"), String::npos);  // the name is no label
  EXPECT_NE(text.find("DataSet = Mem"), String::npos);
  // Fields are written inside their dataset.
  EXPECT_LT(text.find("object Mem: TMemDataSet"), text.find("object MemID: TIntegerField"));
  EXPECT_LT(text.find("object MemUP: TStringField"), text.find("object Src: TDataSource"));
  UnregisterClass("TMemDataSet");
}

}  // namespace
