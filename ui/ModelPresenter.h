// Shows the configuration model in the window's controls: the four grids, the
// operating mode (selector, menu check mark, the common-properties group), the
// options, the lock on Open, and the engine's progress. Every change shows at
// once; setting a control from here never runs its change handler.
#pragma once

#include <QObject>

class ConfigModel;
class QPainter;
class QRect;
class QString;
class TForm1;
class TransferEngine;

class ModelPresenter : public QObject
{
    Q_OBJECT
public:
    ModelPresenter(TForm1& form, const ConfigModel& model, const TransferEngine& engine);

    // Everything at once (after start-up).
    void PresentAll();

    // One grid cell as painted: the fixed column and the header row in the
    // palette's button face and text, so they stay readable under a dark
    // palette; a value that differs from the document's baseline (`changed`)
    // bold on a pale yellow; every other cell black on white. A cell of an
    // address a comparison found different (`differs`) is framed in blue, on a
    // pale blue unless changed. The text centred on one line, cut with an
    // ellipsis when it does not fit.
    static void PaintCell(QPainter* painter, const TForm1& form, const QString& text,
                          const QRect& rect, bool fixed, bool changed, bool differs = false);

private:
    void presentCell(int page, int row, int column);
    void presentOperatingMode();
    void presentOptions();
    void presentLock(bool locked);
    void presentProgress(int position, bool visible);

    TForm1& form_;
    const ConfigModel& model_;
    const TransferEngine& engine_;
};
