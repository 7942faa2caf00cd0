// Operating mode and common options in the window: the selector, the menu's
// radio pair, the common-properties group, and presentation from the model.
#include "GuiSupport.h"

#include "CoreTexts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTest>

using namespace CoreTexts;

namespace {

// Rows in both modes' texts, with image bytes whose delays differ from the cells.
void prepareTable(ConfigModel& model)
{
    model.setCell(1, 1, 1, MessageText(3));
    model.setCell(1, 1, 2, Delay120);
    model.image().setByte(0, 0x80 | 0x30); // address 1: delay code 3 in the image
    model.setCell(2, 4, 1, MessageText(1));
    model.setCell(2, 4, 2, Delay60);
}

} // namespace

class Mode : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        CreateWindow();
        prepareTable(model);
    }
    void expectOtherDevicesShown()
    {
        EXPECT_EQ(model.OperatingMode(), OtherDevicesMode);
        EXPECT_EQ(form->ComboBox3->currentIndex(), 1);
        EXPECT_TRUE(form->N9->isChecked());
        EXPECT_FALSE(form->N8->isChecked());
        EXPECT_TRUE(form->GroupBox3->isVisible());
        EXPECT_FALSE(form->CheckBox2->isVisible());
    }
    void expectSpeechShown()
    {
        EXPECT_EQ(model.OperatingMode(), SpeechMode);
        EXPECT_EQ(form->ComboBox3->currentIndex(), 0);
        EXPECT_TRUE(form->N8->isChecked());
        EXPECT_FALSE(form->N9->isChecked());
        EXPECT_FALSE(form->GroupBox3->isVisible());
    }
};

TEST_F(Mode, SelectorConvertsTheTableBothWaysWithDelaysFromTheImage)
{
    form->ComboBox3->setFocus();
    QTest::keyClick(form->ComboBox3, Qt::Key_Down);
    expectOtherDevicesShown();
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), ModeUsed);
    EXPECT_EQ(form->StringGrid1->Cells(2, 1), Delay360);
    EXPECT_EQ(form->StringGrid2->Cells(2, 4), Delay0);

    QTest::keyClick(form->ComboBox3, Qt::Key_Up);
    expectSpeechShown();
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(1)); // not Сообщ.3 again
    EXPECT_EQ(form->StringGrid1->Cells(2, 1), Delay240);
    EXPECT_EQ(form->StringGrid1->Cells(1, 2), ModeUnused);
}

TEST_F(Mode, MenuItemsConvertExactlyAsTheSelectorDoes)
{
    // The same starting table in a second model, converted through the selector.
    ConfigModel other;
    other.LabelPages();
    other.ImageToTable();
    prepareTable(other);
    other.setOperatingMode(OtherDevicesMode);
    other.ApplyOperatingMode();

    form->N9->trigger();
    expectOtherDevicesShown();
    EXPECT_EQ(model.table(), other.table());

    // Choosing the checked item again converts nothing and keeps it checked.
    form->N9->trigger();
    expectOtherDevicesShown();
    EXPECT_EQ(model.table(), other.table());

    other.setOperatingMode(SpeechMode);
    other.ApplyOperatingMode();
    form->N8->trigger();
    expectSpeechShown();
    EXPECT_EQ(model.table(), other.table());
}

TEST_F(Mode, ChoosingTheSameSelectorItemRunsTheConversionAgain)
{
    form->N9->trigger();
    model.setCell(3, 3, 1, MessageText(2)); // a speech text left in the other mode
    form->ComboBox3->setFocus();
    const int index = form->ComboBox3->currentIndex();
    QTest::keyClick(form->ComboBox3, Qt::Key_End); // already the last item: no change
    EXPECT_EQ(form->ComboBox3->currentIndex(), index);
    EXPECT_EQ(model.cell(3, 3, 1), MessageText(2));
    // Picking the selected item again from the list is the operator's choice.
    form->ComboBox3->showPopup();
    QAbstractItemView* list = form->ComboBox3->view();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(model.cell(3, 3, 1), ModeUsed);
}

TEST_F(Mode, DecodingAnImagePresentsModeAndOptionsWithoutConverting)
{
    model.image().zeroStoredPrefix();
    model.image().setByte(0, 0x87);
    model.image().setByte(1, 0x04);
    model.ImageToTable();
    expectOtherDevicesShown();
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->CheckBox2->isChecked());
    EXPECT_TRUE(form->RadioButton1->isChecked());
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), ModeUsed);
    EXPECT_EQ(form->StringGrid1->Cells(2, 1), Delay0);

    model.image().setByte(0, 0x86);
    model.image().setByte(2, 0x80);
    model.ImageToTable();
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_FALSE(form->RadioButton1->isChecked());
}

TEST_F(Mode, OptionControlsChangeOnlyTheOptions)
{
    form->N9->trigger();
    const AddressTable table = model.table();
    QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(model.options().checkFaultInput);
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton);
    EXPECT_FALSE(model.options().controlUpa);
    EXPECT_FALSE(form->RadioButton1->isChecked());
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton);
    EXPECT_TRUE(model.options().controlUpa);
    form->CheckBox1->setFocus();
    QTest::keyClick(form->CheckBox1, Qt::Key_Space);
    EXPECT_FALSE(model.options().checkFaultInput);
    EXPECT_EQ(model.table(), table);

    // The options reach the image on the next encode.
    QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
    model.TableToImage();
    EXPECT_EQ(model.image().byte(1) & 0x04, 0x04);
    EXPECT_EQ(model.image().byte(0) & 0x07, 0x07);
}
