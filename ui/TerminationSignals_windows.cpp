// A Windows GUI program gets no termination signals: log-off and shutdown
// reach it as WM_QUERYENDSESSION (Qt's commitDataRequest), then WM_ENDSESSION
// (aboutToQuit), after which Windows ends the process without returning to
// main(). So the session's end closes the windows as the operator would close
// them (unsaved changes are asked about, a cut write is reported), a window
// kept open cancels it, and the port is closed before the process goes.
#include "TerminationSignals.h"

#include "ComUtilites.h"

#include <QApplication>
#include <QSessionManager>
#include <QWidget>

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    connect(
        qApp, &QGuiApplication::commitDataRequest, this,
        [](QSessionManager& manager) {
            if (!manager.allowsInteraction())
                return;
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget* window : windows) {
                if (window->isVisible() && !window->close()) {
                    manager.cancel();
                    return;
                }
            }
            manager.release();
        },
        Qt::DirectConnection);
    connect(
        qApp, &QCoreApplication::aboutToQuit, this, [] { ClosePort(); }, Qt::DirectConnection);
}

TerminationSignals::~TerminationSignals() = default;
