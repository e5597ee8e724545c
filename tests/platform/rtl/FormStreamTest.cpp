#include <gtest/gtest.h>

#include "tests/platform/rtl/TypInfoFixture.h"

namespace {

class FormStreamTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterTiClasses(); }

  // Reads text into a fresh box named by the text.
  std::unique_ptr<TTiBox> Read(const String& text) {
    auto box = std::make_unique<TTiBox>(nullptr);
    ReadComponentFromText(box.get(), text);
    return box;
  }

  String ReadError(const String& text) {
    try {
      Read(text);
    } catch (const Exception& e) {
      return e.Message();
    }
    return "no exception";
  }
};

TValueNode ValueOf(const String& text) {
  TObjectNode n = ParseFormText("object A: T\n  P = " + text + "\nend\n");
  return n.Props.at(0).Value;
}

}  // namespace

TEST_F(FormStreamTest, ParsesScalarValues) {
  struct Case {
    const char* text;
    TValueType type;
    int64_t i;
    double f;
    const char* s;
  } cases[] = {
      {"42", vaInt, 42, 0, ""},
      {"-11", vaInt, -11, 0, ""},
      {"$FF", vaInt, 255, 0, ""},
      {"-$10", vaInt, -16, 0, ""},
      {"9223372036854775807", vaInt, INT64_MAX, 0, ""},
      {"1.5", vaExtended, 0, 1.5, ""},
      {"-2.5e3", vaExtended, 0, -2500, ""},
      {"12.5c", vaExtended, 0, 12.5, ""},
      {"clBtnFace", vaIdent, 0, 0, "clBtnFace"},
      {"Form2.Button1", vaIdent, 0, 0, "Form2.Button1"},
      {"'Tree'", vaString, 0, 0, "Tree"},
      {"''", vaString, 0, 0, ""},
      {"'It''s'", vaString, 0, 0, "It's"},
      {"'a'#13#10'b'", vaString, 0, 0, "a\r\nb"},
      {"#1055#1088'x'", vaString, 0, 0, "Прx"},
      {"#$41", vaString, 0, 0, "A"},
      {"#55357#56832", vaString, 0, 0, "\xF0\x9F\x98\x80"},
      {"'Привет'", vaString, 0, 0, "Привет"},
      {"'ab' +\n    'cd' + #33", vaString, 0, 0, "abcd!"},
  };
  for (const Case& c : cases) {
    TValueNode v = ValueOf(c.text);
    EXPECT_EQ(v.Type, c.type) << c.text;
    EXPECT_EQ(v.Int, c.i) << c.text;
    EXPECT_DOUBLE_EQ(v.Float, c.f) << c.text;
    EXPECT_EQ(v.Str, c.s) << c.text;
  }
}

TEST_F(FormStreamTest, ParsesStructuredValuesAndHeaders) {
  TValueNode set = ValueOf("[akLeft, akTop]");
  EXPECT_EQ(set.SetItems, (std::vector<String>{"akLeft", "akTop"}));
  EXPECT_TRUE(ValueOf("[]").SetItems.empty());
  TValueNode list = ValueOf("(\n 'a'\n 1\n ('b'))");
  ASSERT_EQ(list.Items.size(), 3u);
  EXPECT_EQ(list.Items[2].Items.at(0).Str, "b");
  TValueNode coll = ValueOf("<\n item\n  A = 1\n  B.C = 'x'\n end\n item\n end>");
  ASSERT_EQ(coll.Collection.size(), 2u);
  EXPECT_EQ(coll.Collection[0].at(1).Name, "B.C");
  EXPECT_TRUE(coll.Collection[1].empty());
  EXPECT_EQ(ValueOf("{\n 0A ff\n 10}").Bytes, (std::vector<uint8_t>{0x0A, 0xFF, 0x10}));

  TObjectNode n = ParseFormText(
      "inherited Form2: TForm2\n"
      "  inline Frame1: TFrame1 [2]\n  end\n"
      "  object TTimer\n  end\n"
      "end");
  EXPECT_EQ(n.Kind, okInherited);
  ASSERT_EQ(n.Children.size(), 2u);
  EXPECT_EQ(n.Children[0].Kind, okInline);
  EXPECT_EQ(n.Children[0].Position, 2);
  EXPECT_EQ(n.Children[1].Name, "");
  EXPECT_EQ(n.Children[1].ClassName, "TTimer");
  EXPECT_EQ(FormTextClassName("object Form1: TForm1\n"), "TForm1");
}

TEST_F(FormStreamTest, MalformedTextNamesTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"object A: T\n  P = 'open\nend", "Unterminated string on line 2"},
      {"object A: T\n  P = )\nend", "Invalid property value on line 2"},
      {"object A: T\n  P = 1\n", "'end' expected on line 3"},
      {"object A: T\n  P = [a, 1]\nend", "Identifier expected on line 2"},
      {"object A: T\n  P = {0A1}\nend", "Invalid binary value on line 2"},
      {"object A: T\n  P = 12x\nend", "Invalid number on line 2"},
      {"object A: T\n  P = 99999999999999999999\nend", "Number out of range on line 2"},
      {"object A: T\nend\nend", "End of text expected on line 3"},
      {"thing A: T\nend", "'object' expected on line 1"},
      {"object A: T\n  P = 'a' +\n  1\nend", "String expected on line 3"},
  };
  for (const Case& c : cases) {
    try {
      ParseFormText(c.text);
      ADD_FAILURE() << "no exception for " << c.text;
    } catch (const EParserError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.text;
    }
  }
}

TEST_F(FormStreamTest, ReadsATreeOfComponents) {
  auto box = Read(
      "object Box1: TTiBox\n"
      "  Tag = 3\n"
      "  object G1: TTiGadget\n"
      "    Width = 661\n"
      "    Big = 5000000000\n"
      "    Flag = True\n"
      "    Mode = tmDark\n"
      "    Modes = [tmLight, tmDark]\n"
      "    Ratio = 2\n"
      "    Price = 1.25\n"
      "    Caption = 'Avto'#13'refresh'\n"
      "    Wide = 'Ж'\n"
      "    Color = tcWhite\n"
      "    Font.Name = 'Tahoma'\n"
      "    Font.Size = -11\n"
      "    Buddy = G2\n"  // forward reference
      "    OnPing = Ping\n"
      "    OnCount = Count\n"
      "    Items = ('one' 'two')\n"
      "    Wheels = <\n"
      "      item\n"
      "        Spokes = 3\n"
      "        Link = Box1\n"
      "      end\n"
      "      item\n"
      "        Spokes = 4\n"
      "      end>\n"
      "    object G3: TTiGadget\n"
      "      Color = 255\n"
      "    end\n"
      "  end\n"
      "  object G2: TTiGadget\n"
      "  end\n"
      "end\n");
  ASSERT_NE(box->G1, nullptr);  // fields bound by name
  ASSERT_NE(box->G2, nullptr);
  TTiGadget* g1 = box->G1;
  EXPECT_EQ(box->Tag(), 3);
  EXPECT_EQ(g1->Owner(), box.get());
  EXPECT_EQ(g1->parent, box.get());
  EXPECT_EQ(g1->Width(), 661);
  EXPECT_EQ(g1->Big(), 5000000000);
  EXPECT_TRUE(g1->Flag());
  EXPECT_EQ(g1->Mode(), tmDark);
  EXPECT_EQ(g1->Modes(), (TTiModes{tmLight, tmDark}));
  EXPECT_DOUBLE_EQ(g1->Ratio(), 2.0);
  EXPECT_EQ(g1->Price(), Currency::FromRaw(12500));
  EXPECT_EQ(g1->Caption(), "Avto\rrefresh");
  EXPECT_EQ(g1->Wide(), u"Ж");
  EXPECT_EQ(g1->Color(), tcWhite);
  EXPECT_EQ(g1->Font()->Name(), "Tahoma");
  EXPECT_EQ(g1->Font()->Size(), -11);
  EXPECT_EQ(g1->Buddy(), box->G2);
  EXPECT_EQ(g1->items, (std::vector<String>{"one", "two"}));
  ASSERT_EQ(g1->Wheels()->Count(), 2);
  EXPECT_EQ(g1->Wheels()->Items(0)->Spokes(), 3);
  EXPECT_EQ(g1->Wheels()->Items(0)->Link(), box.get());
  EXPECT_EQ(g1->Wheels()->Items(1)->Spokes(), 4);
  g1->OnPing()(g1);
  g1->OnCount()(g1, 5);
  EXPECT_EQ(box->pings, 1);
  EXPECT_EQ(box->counted, 5);

  // Nested object: owner is the root, parent the enclosing component.
  auto* g3 = dynamic_cast<TTiGadget*>(box->FindComponent("G3"));
  ASSERT_NE(g3, nullptr);
  EXPECT_EQ(g3->Owner(), box.get());
  EXPECT_EQ(g3->parent, g1);
  EXPECT_EQ(g3->Color(), 255);

  // Loaded once each, while csLoading was still set; cleared afterwards.
  for (TTiGadget* g : {g1, box->G2, g3}) {
    EXPECT_EQ(g->loaded_count, 1);
    EXPECT_TRUE(g->loading_seen);
    EXPECT_FALSE(g->IsLoading());
    EXPECT_FALSE(g->ComponentState().Contains(csReading));
  }
  EXPECT_EQ(box->loaded_count, 1);
  EXPECT_FALSE(box->IsLoading());
}

TEST_F(FormStreamTest, ReadErrorsNameComponentPropertyAndLine) {
  EXPECT_EQ(ReadError("object B: TTiBox\n  object X: TNope\n  end\nend"), "Class TNope not found");
  struct Case {
    const char* body;
    const char* message;
  } cases[] = {
      {"Nope = 1", "Error reading G1.Nope: Property Nope does not exist (line 3)"},
      {"Font.Nope = 1", "Error reading G1.Font.Nope: Property Nope does not exist (line 3)"},
      {"Width.X = 1", "Error reading G1.Width.X: Invalid property path (line 3)"},
      {"Width = 'x'", "Error reading G1.Width: Invalid property value (line 3)"},
      {"Width = 1.5", "Error reading G1.Width: Invalid property value (line 3)"},
      {"Width = 99999999999", "Error reading G1.Width: Invalid property value (line 3)"},
      {"Flag = Maybe", "Error reading G1.Flag: Invalid property value (line 3)"},
      {"Mode = 1", "Error reading G1.Mode: Invalid property value (line 3)"},
      {"Modes = [tmLight, tmBlue]", "Error reading G1.Modes: Invalid property value (line 3)"},
      {"Color = clBlue", "Error reading G1.Color: Invalid property value (line 3)"},
      {"Caption = 5", "Error reading G1.Caption: Invalid property value (line 3)"},
      {"Buddy = Nobody", "Error reading G1.Buddy: Invalid property value (line 3)"},
      {"Buddy = B", "Error reading G1.Buddy: Invalid property value (line 3)"},  // wrong class
      {"OnPing = Missing", "Error reading G1.OnPing: Invalid property value (line 3)"},
      {"OnCount = Ping", "Error reading G1.OnCount: Method Ping has an incompatible parameter list (line 3)"},
      {"Items = 'x'", "Error reading G1.Items: Invalid property value (line 3)"},
      {"Wheels = <\n item\n Nope = 1\n end>",
       "Error reading G1.Wheels.Nope: Property Nope does not exist (line 5)"},
  };
  for (const Case& c : cases) {
    String text = String("object B: TTiBox\n  object G1: TTiGadget\n    ") + c.body + "\n  end\nend";
    EXPECT_EQ(ReadError(text), c.message) << c.body;
  }
  EXPECT_EQ(ReadError("object B: TTiBox\n  object G1: TTiAbstract\n  end\nend"),
            "Cannot create an instance of TTiAbstract (line 2)");
  EXPECT_EQ(ReadError("object B: TTiBox\n  inherited G9: TTiGadget\n  end\nend"),
            "Ancestor for 'G9' not found (line 2)");
}

TEST_F(FormStreamTest, FailedReadLeavesNoLoadingState) {
  TTiBox box(nullptr);
  EXPECT_THROW(ReadComponentFromText(&box, "object B: TTiBox\n  object G1: TTiGadget\n    Nope = 1\n  end\nend"),
               EReadError);
  EXPECT_FALSE(box.IsLoading());
  auto* g1 = dynamic_cast<TTiGadget*>(box.FindComponent("G1"));
  ASSERT_NE(g1, nullptr);
  EXPECT_FALSE(g1->IsLoading());
  EXPECT_EQ(g1->loaded_count, 0);
}

TEST_F(FormStreamTest, InheritedTextReusesExistingComponents) {
  auto box = Read("object B: TTiBox\n  object G1: TTiGadget\n    Width = 5\n  end\nend");
  TTiGadget* g1 = box->G1;
  ReadComponentFromText(box.get(), "inherited B: TTiBox\n  inherited G1: TTiGadget\n    Flag = True\n  end\nend");
  EXPECT_EQ(box->G1, g1);
  EXPECT_EQ(g1->Width(), 5);
  EXPECT_TRUE(g1->Flag());
  EXPECT_EQ(box->ComponentCount(), 1);
}

TEST_F(FormStreamTest, WriterRoundTrip) {
  TTiBox box(nullptr);
  box.SetName("Box1");
  auto* g1 = new TTiGadget(&box);
  g1->SetName("G1");
  g1->SetParentComponent(&box);
  auto* g2 = new TTiGadget(&box);
  g2->SetName("G2");
  g2->SetParentComponent(g1);
  g1->SetWidth(661);
  g1->SetFlag(true);
  g1->SetMode(tmLight);
  g1->SetModes({tmNone, tmDark});
  g1->SetRatio(0.1);
  g1->SetPrice(Currency::FromRaw(-12345));
  g1->SetCaption("It's\r\nПривет");
  g1->SetWide(u"ω");
  g1->SetColor(tcWhite);
  g1->Font()->SetName("Tahoma");
  g1->SetBuddy(g2);
  g1->SetOnPing({&box, &TTiBox::Ping});
  g1->items = {"a", "b'c"};
  g1->Wheels()->Add()->SetSpokes(7);
  g1->Wheels()->Items(0)->SetLink(g2);
  g2->SetColor(static_cast<TTiColor>(0x123456));

  String text = WriteComponentToText(&box);
  EXPECT_EQ(text,
            "object Box1: TTiBox\n"
            "  object G1: TTiGadget\n"
            "    Width = 661\n"
            "    Flag = True\n"
            "    Mode = tmLight\n"
            "    Modes = [tmNone, tmDark]\n"
            "    Ratio = 0.1\n"
            "    Price = -1.2345\n"
            "    Caption = 'It''s'#13#10'Привет'\n"
            "    Wide = 'ω'\n"
            "    Color = tcWhite\n"
            "    Font.Name = 'Tahoma'\n"
            "    Wheels = <\n"
            "      item\n"
            "        Spokes = 7\n"
            "        Link = G2\n"
            "      end>\n"
            "    Buddy = G2\n"
            "    OnPing = Ping\n"
            "    Items = (\n"
            "      'a'\n"
            "      'b''c')\n"
            "    object G2: TTiGadget\n"
            "      Color = 1193046\n"
            "      Wheels = <>\n"  // collections are written even when empty
            "    end\n"
            "  end\n"
            "end\n");

  TTiBox copy(nullptr);
  ReadComponentFromText(&copy, text);
  EXPECT_EQ(copy.Name(), "Box1");  // the root takes the name of the text
  EXPECT_EQ(WriteComponentToText(&copy), text);
  EXPECT_EQ(copy.G1->Price(), Currency::FromRaw(-12345));
  EXPECT_DOUBLE_EQ(copy.G1->Ratio(), 0.1);

  // Not stored: stored-condition false.
  g1->hide_caption = true;
  EXPECT_EQ(WriteComponentToText(&box).find("Caption"), String::npos);
}

TEST_F(FormStreamTest, VariantPropertiesRoundTripWithTheirTypes) {
  struct Case {
    const char* name;
    Variant value;
    const char* text;  // the value as written
  } cases[] = {
      {"integer", Variant(int32_t{-42}), "-42"},
      {"int64", Variant(5000000000LL), "5000000000"},
      {"double", Variant(2.5), "2.5"},
      {"single", Variant(0.25f), "0.25s"},
      {"currency", Variant(Currency::FromRaw(-12345)), "-1.2345c"},
      {"date", VarFromDateTime(36526.5), "36526.5d"},
      {"string", Variant(String("It's")), "'It''s'"},
      {"boolean", Variant(true), "True"},
      {"null", Null(), "Null"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TTiVariantBox box(nullptr);
    box.SetName("V");
    box.SetData(k.value);
    String text = WriteComponentToText(&box);
    EXPECT_NE(text.find(String("Data = ") + k.text + "\n"), String::npos) << text;
    TTiVariantBox copy(nullptr);
    ReadComponentFromText(&copy, text);
    EXPECT_EQ(VarType(copy.Data()), VarType(k.value));
    EXPECT_TRUE(typinfo_detail::SameVariant(copy.Data(), k.value));
    EXPECT_EQ(WriteComponentToText(&copy), text);
  }
}

TEST_F(FormStreamTest, VariantDefaultsDecideWhatIsStored) {
  TTiVariantBox box(nullptr);
  box.SetName("V");
  // Unassigned data and a Null special-row value (its default) are not written.
  EXPECT_EQ(WriteComponentToText(&box), "object V: TTiVariantBox\nend\n");
  box.Spec()->SetValue(VarFromDateTime(2.0));
  box.SetData(Null());
  String text = WriteComponentToText(&box);
  EXPECT_EQ(text, "object V: TTiVariantBox\n  Data = Null\n  Spec.Value = 2.0d\nend\n");
  // A date is not the same value as the double of the same number.
  box.Spec()->SetValue(Variant(2.0));
  EXPECT_NE(WriteComponentToText(&box), text);

  TTiVariantBox copy(nullptr);
  copy.Spec()->SetValue(Variant(1));
  ReadComponentFromText(&copy, "object V: TTiVariantBox\n  Spec.Value = Null\n  Data = ('a' 1 (2.5))\nend\n");
  EXPECT_TRUE(VarIsNull(copy.Spec()->Value()));
  ASSERT_TRUE(VarIsArray(copy.Data()));
  EXPECT_EQ(VarArrayHighBound(copy.Data(), 1), 2);
  EXPECT_EQ(VarArrayGet(copy.Data(), 0).AsString(), "a");
  EXPECT_EQ(VarArrayGet(VarArrayGet(copy.Data(), 2), 0).AsDouble(), 2.5);
  EXPECT_EQ(WriteComponentToText(&copy), "object V: TTiVariantBox\n  Data = (\n    'a'\n    1\n    (\n      2.5))\nend\n");

  // Values a variant cannot take, and arrays the format cannot hold.
  for (const char* bad : {"clRed", "[a]", "<>", "{00}"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(ReadError(String("object V: TTiBox\n  object X: TTiVariantBox\n    Data = ") + bad + "\n  end\nend\n"),
              "Error reading X.Data: Invalid property value (line 3)");
  }
  box.SetData(VarArrayCreate({0, 1, 0, 1}, varVariant));
  EXPECT_THROW(WriteComponentToText(&box), EWriteError);
  // By name through the registry.
  SetVariantProp(&box, "Data", Variant(String("x")));
  EXPECT_EQ(GetVariantProp(&box, "Data").AsString(), "x");
  EXPECT_THROW(GetOrdProp(&box, "Data"), EPropertyError);
  EXPECT_THROW(GetVariantProp(&box, "Name"), EPropertyError);
}
