#include "OperatorGuide.h"

#include "UiTexts.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

OperatorGuide::OperatorGuide(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OperatorGuide"));
    setWindowTitle(UiTexts::GuideTitle);
    auto* layout = new QVBoxLayout(this);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("GuideBrowser"));
    // Everything the guide links to is inside it.
    Browser->setOpenExternalLinks(false);
    Browser->setSource(Home());
    layout->addWidget(Browser);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(UiTexts::CloseButton, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(780, 600);
}

QUrl OperatorGuide::Home()
{
    return QUrl(QStringLiteral("qrc:/guide/guide.html"));
}

OperatorGuide* ShowOperatorGuide(QWidget* owner)
{
    auto* guide = owner->findChild<OperatorGuide*>(QString(), Qt::FindDirectChildrenOnly);
    if (!guide)
        guide = new OperatorGuide(owner);
    guide->show();
    guide->raise();
    guide->activateWindow();
    return guide;
}
