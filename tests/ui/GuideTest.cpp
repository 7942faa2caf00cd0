// The operator's guide: F1 and the help menu open it, and everything it links
// to or shows is inside the program.
#include "GuiSupport.h"

#include "OperatorGuide.h"
#include "UiTexts.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

using Guide = WindowTest;

TEST_F(Guide, F1AndTheHelpItemOpenOneGuideWindowShowingTheGuide)
{
    CreateWindow();
    EXPECT_EQ(Plain(form->N16->text()), UiTexts::GuideItem);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_F1);
    auto* guide = form->findChild<OperatorGuide*>();
    ASSERT_NE(guide, nullptr) << "F1 opened no guide";
    ASSERT_TRUE(WaitFor([&] { return guide->isVisible(); }));
    EXPECT_EQ(guide->windowTitle(), UiTexts::GuideTitle);
    // The page shown is the guide itself, not an empty browser.
    EXPECT_EQ(guide->Browser->documentTitle(), UiTexts::GuideTitle);
    EXPECT_TRUE(guide->Browser->toPlainText().contains(QStringLiteral("Содержание")));
    // It does not block the main window.
    EXPECT_FALSE(guide->isModal());

    guide->close();
    ASSERT_FALSE(guide->isVisible());
    form->N16->trigger();
    EXPECT_TRUE(guide->isVisible());
    EXPECT_EQ(form->findChildren<OperatorGuide*>().size(), 1);
}

// A link or picture that does not resolve shows as a dead link or an empty
// frame to the operator, with no browser to fall back on.
TEST(GuideResources, EveryLinkAndPictureOfTheGuideResolvesInsideTheProgram)
{
    const QUrl home = OperatorGuide::Home();
    QFile file(QLatin1Char(':') + home.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the guide is not compiled in";
    const QString html = QString::fromUtf8(file.readAll());

    QSet<QString> anchors;
    const QRegularExpression anchor(QStringLiteral(R"re((?:name|id)="([^"]+)")re"));
    for (const auto& m : anchor.globalMatch(html))
        anchors.insert(m.captured(1));

    int links = 0;
    const QRegularExpression href(QStringLiteral(R"re(href="([^"]*)")re"));
    for (const auto& m : href.globalMatch(html)) {
        ++links;
        const QString target = m.captured(1);
        if (target.startsWith(QLatin1Char('#'))) {
            EXPECT_TRUE(anchors.contains(target.mid(1))) << "no anchor for " << target.toStdString();
            continue;
        }
        const QUrl url = home.resolved(QUrl(target));
        EXPECT_EQ(url.scheme(), QStringLiteral("qrc")) << "leaves the program: " << target.toStdString();
        EXPECT_TRUE(QFile::exists(QLatin1Char(':') + url.path())) << target.toStdString();
    }
    EXPECT_GE(links, 11) << "the table of contents is missing";

    int pictures = 0;
    const QRegularExpression src(QStringLiteral(R"re(src="([^"]*)")re"));
    for (const auto& m : src.globalMatch(html)) {
        ++pictures;
        const QUrl url = home.resolved(QUrl(m.captured(1)));
        EXPECT_EQ(url.scheme(), QStringLiteral("qrc")) << m.captured(1).toStdString();
        EXPECT_FALSE(QImage(QLatin1Char(':') + url.path()).isNull()) << m.captured(1).toStdString();
    }
    EXPECT_GE(pictures, 3);
}
