// The main window's layout: every control and the main menu with its designer
// name, place, size, text and initial state, the tab order, the window's font
// and fixed size, and the grids' width rule. Wiring the controls to their
// handlers is the window's own business.
#pragma once

#include <QFont>

class TForm1;

class WindowLayout
{
public:
    // Creates the main menu, the controls and the tab order on `form`.
    static void Build(TForm1& form);
    // The grids' width and column width follow the window's outer width.
    static void ResizeGrids(TForm1& form);
    // An 8-point sans serif (11 pixels high at 96 dots per inch) whose widths
    // let the mode and delay texts fit their 51-pixel columns.
    static QFont WindowFont();
    // `text` with an Alt+letter mark ('&') before a letter no action of `menu`
    // (a menu or the menu bar) has taken: the first word's initial when free,
    // then another word's initial, then any letter.
    static QString WithMnemonic(const QWidget& menu, const QString& text);

private:
    static void createMenu(TForm1& form);
    static void createControls(TForm1& form);
    static void setTabOrder(TForm1& form);
};
