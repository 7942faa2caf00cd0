// The operator's guide: Russian HTML with pictures compiled into the program,
// shown in a window of its own beside the main window (no browser, no network).
#pragma once

#include <QDialog>
#include <QUrl>

class QTextBrowser;

class OperatorGuide : public QDialog
{
    Q_OBJECT
public:
    explicit OperatorGuide(QWidget* parent = nullptr);

    // The guide's first page in the program's resources.
    static QUrl Home();

    QTextBrowser* Browser = nullptr;
};

// Shows `owner`'s guide window, created on first use; later calls bring the
// same window to the front. The operator can keep working in `owner`.
OperatorGuide* ShowOperatorGuide(QWidget* owner);
