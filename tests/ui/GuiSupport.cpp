// Shared pieces of the window tests.
#include "GuiSupport.h"

#include "NetworkPortDialog.h"
#include "UiTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWindow>

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> act, int timeoutMs)
    : act_(std::move(act)), timeoutMs_(timeoutMs)
{
    clock_.start();
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &ModalWatcher::poll);
    timer_.start();
}

ModalWatcher::~ModalWatcher()
{
    if (!seen_ && !expired_)
        ADD_FAILURE() << "the expected modal box never came";
}

void ModalWatcher::poll()
{
    if (seen_ || expired_)
        return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
        seen_ = true;
        timer_.stop();
        act_(modal);
        return;
    }
    if (clock_.elapsed() > timeoutMs_) {
        expired_ = true;
        timer_.stop();
        ADD_FAILURE() << "the expected modal box never came";
    }
}

BoxSeen CloseMessageBox(QWidget* widget, QMessageBox::StandardButton answer)
{
    BoxSeen seen;
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (!box) {
        ADD_FAILURE() << "a " << widget->metaObject()->className() << " came, not a message box";
        widget->close();
        return seen;
    }
    seen.isMessageBox = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.hasOwner = box->parentWidget() != nullptr;
    for (QAbstractButton* b : box->buttons())
        seen.buttons.append(b->text());
    QAbstractButton* button = box->button(answer);
    if (!button) {
        ADD_FAILURE() << "the box has no such button";
        box->done(0);
        return seen;
    }
    button->click();
    return seen;
}

QString Plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QPoint CellCenter(const TStringGrid* grid, int col, int row)
{
    return grid->ClientOrigin() + grid->CellRect(col, row).center();
}

void ClickCell(TStringGrid* grid, int col, int row)
{
    QTest::mouseClick(grid, Qt::LeftButton, {}, CellCenter(grid, col, row));
}

void DoubleClickCell(TStringGrid* grid, int col, int row)
{
    QWindow* window = grid->window()->windowHandle();
    const QPoint at = window->mapFromGlobal(grid->mapToGlobal(CellCenter(grid, col, row)));
    QTest::mouseDClick(window, Qt::LeftButton, {}, at);
}

void WindowTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    previousDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    SetApplicationTitle(UiTexts::ApplicationTitle);
    ForgetRemembered(); // every test starts as a first run
    ForgetNetworkPorts(); // no test sees the ports another one entered
}

void WindowTest::TearDown()
{
    form.reset();
    QDir::setCurrent(previousDir);
}

void WindowTest::CreateWindow()
{
    form = std::make_unique<TForm1>(model, parts, ports);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
}
