#include "FileDialogs.h"

#include <QFileDialog>

void UsePlatformFileDialog(QFileDialog& dialog)
{
    // Qt's own dialog: the same everywhere, in Russian with Qt's translation.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
}
