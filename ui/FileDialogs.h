// The file dialogs as each platform's users know them: Windows' own dialogs
// (Quick access, Desktop) there, Qt's dialog elsewhere, where the desktop's
// dialog may not be there at all or speaks another language.
#pragma once

class QFileDialog;

// Sets `dialog` up as the platform's file dialog.
void UsePlatformFileDialog(QFileDialog& dialog);
