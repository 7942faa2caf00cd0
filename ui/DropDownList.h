// A drop-down list that tells before its list opens, and can highlight a row in
// the opened list without selecting it.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>

#include <functional>

class DropDownList : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> dropDown;
    // The row the dropped list highlights while nothing is selected; -1 for
    // none. Choosing it is still the operator's.
    std::function<int()> preselect;
    void showPopup() override
    {
        if (dropDown)
            dropDown();
        QComboBox::showPopup();
        const int row = preselect && currentIndex() < 0 ? preselect() : -1;
        if (row >= 0)
            view()->setCurrentIndex(model()->index(row, 0));
    }
};
