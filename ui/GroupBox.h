// A group box drawn as an etched frame with its caption set into the top line,
// the look the window's layout was designed for; its children keep the
// positions given in the box's own coordinates.
#pragma once

#include <QGroupBox>

class TGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit TGroupBox(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
