#include "ModelPresenter.h"

#include "AddressTable.h"
#include "ConfigModel.h"
#include "TransferEngine.h"
#include "Unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>

ModelPresenter::ModelPresenter(TForm1& form, const ConfigModel& model,
                               const TransferEngine& engine)
    : QObject(&form), form_(form), model_(model), engine_(engine)
{
    connect(&model_, &ConfigModel::cellChanged, this, &ModelPresenter::presentCell);
    connect(&model_, &ConfigModel::operatingModeChanged, this,
            &ModelPresenter::presentOperatingMode);
    connect(&model_, &ConfigModel::optionsChanged, this, &ModelPresenter::presentOptions);
    connect(&model_, &ConfigModel::configLockedChanged, this, &ModelPresenter::presentLock);
    connect(&engine_, &TransferEngine::progressChanged, this, &ModelPresenter::presentProgress);
}

void ModelPresenter::PresentAll()
{
    for (int page = 1; page <= AddressTable::Pages; ++page)
        for (int row = 0; row < AddressTable::Rows; ++row)
            for (int col = 0; col < AddressTable::Columns; ++col)
                presentCell(page, row, col);
    presentOperatingMode();
    presentOptions();
    presentLock(model_.ConfigLocked());
    presentProgress(engine_.ProgressPosition(), engine_.ProgressVisible());
}

void ModelPresenter::presentCell(int page, int row, int column)
{
    form_.Grids().at(page - 1)->SetCells(column, row, model_.cell(page, row, column));
}

void ModelPresenter::presentOperatingMode()
{
    const bool other = model_.OperatingMode() == OtherDevicesMode;
    form_.ComboBox3->setCurrentIndex(model_.OperatingMode());
    (other ? form_.N9 : form_.N8)->setChecked(true);
    form_.GroupBox3->setVisible(other);
}

void ModelPresenter::presentOptions()
{
    const CommonOptions& o = model_.options();
    form_.CheckBox1->setChecked(o.checkFaultInput);
    form_.CheckBox2->setChecked(o.startAcknowledge);
    (o.controlUpa ? form_.RadioButton1 : form_.RadioButton2)->setChecked(true);
}

void ModelPresenter::presentLock(bool locked)
{
    form_.N5->setEnabled(!locked);
}

void ModelPresenter::presentProgress(int position, bool visible)
{
    form_.ProgressBar1->setValue(position);
    form_.ProgressBar1->setVisible(visible);
}

void ModelPresenter::PaintCell(QPainter* painter, const TForm1& form, const QString& text,
                               const QRect& rect, bool fixed, bool changed, bool differs)
{
    const QPalette& palette = form.palette();
    painter->fillRect(rect, fixed     ? palette.color(QPalette::Button)
                            : changed ? QColor(0xFF, 0xF4, 0xC2)
                            : differs ? QColor(0xDC, 0xEA, 0xFF)
                                      : QColor(Qt::white));
    if (differs) {
        // Drawn by the cell itself, so it stays the same under any palette.
        const QColor frame(0x1A, 0x5C, 0xD6);
        painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 2), frame);
        painter->fillRect(QRect(rect.left(), rect.bottom() - 1, rect.width(), 2), frame);
        painter->fillRect(QRect(rect.left(), rect.top(), 2, rect.height()), frame);
        painter->fillRect(QRect(rect.right() - 1, rect.top(), 2, rect.height()), frame);
    }
    painter->setPen(fixed ? palette.color(QPalette::ButtonText) : QColor(Qt::black));
    QFont cellFont = form.font();
    cellFont.setBold(changed);
    painter->setFont(cellFont);
    const QString shown =
        painter->fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, shown);
}
