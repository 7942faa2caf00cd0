#include "FileDialogs.h"

#include <QFileDialog>

void UsePlatformFileDialog(QFileDialog& dialog)
{
    // Windows' own dialog, in the system's language.
    dialog.setOption(QFileDialog::DontUseNativeDialog, false);
}
