// Undo and redo in the window: each kind of gesture is one named step that
// undo sets back exactly and redo applies again.
#include "GuiSupport.h"

#include "ConfigFiles.h"
#include "CoreTexts.h"
#include "EditHistory.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>

using namespace CoreTexts;

namespace {

// What the operator sees of the configuration, and the image behind it.
struct Shown
{
    AddressTable table;
    int mode = SpeechMode;
    CommonOptions options;
    ParamImage image;
    QString title;
    bool modified = false;
    QStringList controls; // the grids' cells, the mode selector and the options
    bool operator==(const Shown&) const = default;
};

} // namespace

class History : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        CreateWindow();
    }
    // Messages 2 to 4 with their delays, address 1 with a delay the image does
    // not hold; in the other-devices mode converted (outside the history).
    void Prepare(int mode)
    {
        form->ComboBox2Exit();
        ParamImage image;
        image.setByte(0, 0x88); // Сообщ.2, 30 s
        image.setByte(1, 0xD0); // Сообщ.3, 60 s
        image.setByte(2, 0xF8); // Сообщ.4, 240 s
        model.image() = image;
        model.setOptions(CommonOptions());
        model.ImageToTable();
        model.setCell(1, 1, 2, Delay120);
        if (mode == OtherDevicesMode) {
            model.setOperatingMode(OtherDevicesMode);
            model.ApplyOperatingMode();
        }
    }
    Shown Now() const
    {
        Shown shown{model.table(),
                    model.OperatingMode(),
                    model.options(),
                    model.image(),
                    form->windowTitle(),
                    form->isWindowModified(),
                    {}};
        for (TStringGrid* grid : form->Grids())
            for (int row = 0; row < AddressTable::Rows; ++row)
                for (int col = 0; col < AddressTable::Columns; ++col)
                    shown.controls << grid->Cells(col, row);
        shown.controls << form->ComboBox3->currentText()
                       << QString::number(form->CheckBox1->isChecked())
                       << QString::number(form->RadioButton1->isChecked());
        return shown;
    }
};

TEST_F(History, EachGestureIsOneNamedStep_UndoSetsItBackExactly_RedoAgain)
{
    ASSERT_TRUE(WriteImageFile(Path("site.lmk"), ParamImage()));
    const struct
    {
        const char* what;
        int mode;
        std::function<void()> gesture;
        QString step;
    } cases[] = {
        {"picks in one cell while the popup stays open", SpeechMode,
         [&] {
             ClickCell(form->StringGrid1, 1, 5);
             QTest::keyClick(form->ComboBox2, Qt::Key_Down);
             QTest::keyClick(form->ComboBox2, Qt::Key_Down);
         },
         UiTexts::CellStep(5)},
        {"delay pick", SpeechMode,
         [&] {
             ClickCell(form->StringGrid1, 2, 2);
             QTest::keyClick(form->ComboBox2, Qt::Key_End);
         },
         UiTexts::CellStep(2)},
        {"mode header", SpeechMode, [&] { ClickCell(form->StringGrid2, 1, 0); },
         UiTexts::ModeColumnStep(17, 32)},
        {"double click on the delay header", SpeechMode,
         [&] { DoubleClickCell(form->StringGrid1, 2, 0); }, UiTexts::DelayColumnStep(1, 16)},
        // The conversion loses messages 2 to 4 and the delay the image does not hold.
        {"mode selector", SpeechMode,
         [&] {
             form->ComboBox3->setFocus();
             QTest::keyClick(form->ComboBox3, Qt::Key_Down);
         },
         UiTexts::OperatingModeStep},
        {"mode menu", OtherDevicesMode, [&] { form->N8->trigger(); }, UiTexts::OperatingModeStep},
        {"check box", OtherDevicesMode, [&] { QTest::mouseClick(form->CheckBox1, Qt::LeftButton); },
         UiTexts::OptionsStep},
        {"radio button", OtherDevicesMode,
         [&] { QTest::mouseClick(form->RadioButton2, Qt::LeftButton); }, UiTexts::OptionsStep},
        {"open", SpeechMode,
         [&] {
             ModalWatcher question(
                 [](QWidget* box) { CloseMessageBox(box, QMessageBox::Discard); });
             form->OpenFile(Path("site.lmk"));
         },
         UiTexts::OpenStep("site.lmk")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(c.mode);
        const Shown before = Now();
        const int steps = form->History().Steps();
        c.gesture();
        const Shown after = Now();
        ASSERT_FALSE(after == before);
        EXPECT_EQ(form->History().Steps(), steps + 1);
        EXPECT_EQ(form->N19->text(), "&" + UiTexts::UndoItem + " " + c.step);

        form->N19->trigger();
        EXPECT_TRUE(Now() == before);
        EXPECT_FALSE(form->ComboBox2->isVisible());
        EXPECT_EQ(form->N20->text(), "&" + UiTexts::RedoItem + " " + c.step);
        form->N20->trigger();
        EXPECT_TRUE(Now() == after);
    }
}
