#include "UI/AlertManager.h"

#include "WindowDriver.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct Host
{
    QWidget window;
    WindowDriver driver{window};
    Host()
    {
        window.resize(400, 300);
        window.show();
    }
};

QStringList buttonTitles(QMessageBox *alert)
{
    // In the order they stand in the dialog, left to right.
    QList<QPushButton *> buttons = alert->findChildren<QPushButton *>();
    std::sort(buttons.begin(), buttons.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
    QStringList titles;
    for (QPushButton *b : buttons)
        if (b->isVisible())
            titles << b->text();
    return titles;
}

} // namespace

TEST(AlertManager, ButtonsAnswerInTheOrderTheyWereGivenAndTheCallReturnsAtOnce)
{
    for (const QString &press : {QStringLiteral("立刻创建"), QStringLiteral("取消")}) {
        Host host;
        std::vector<int64_t> answers;
        AlertManager::alertByWindow(&host.window, {"立刻创建", "取消"}, QImage(), "温馨提示", "说明",
                                    AlertManager::InformationalStyle,
                                    [&](int64_t r) { answers.push_back(r); });
        EXPECT_TRUE(answers.empty()) << "the alert does not wait for the user";
        QMessageBox *alert = host.driver.waitForAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
        EXPECT_EQ(buttonTitles(alert), QStringList({"立刻创建", "取消"}));
        EXPECT_EQ(alert->defaultButton()->text(), "立刻创建");
        ASSERT_TRUE(WindowDriver::clickButton(alert, press));
        testsupport::spin(50);
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0], press == "立刻创建" ? 1000 : 1001);
        EXPECT_EQ(host.driver.openDialog(), nullptr) << "the sheet is gone";
    }
}

TEST(AlertManager, OnlyTheInformationalStyleShowsTheInformativeText)
{
    for (uint64_t style :
         {AlertManager::WarningStyle, AlertManager::InformationalStyle, AlertManager::CriticalStyle}) {
        Host host;
        AlertManager::alertByWindow(&host.window, {"确定"}, QImage(), "标题", "详细说明", style, nullptr);
        QMessageBox *alert = host.driver.waitForAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->text(), "标题");
        EXPECT_EQ(alert->informativeText(), style == 1 ? QString("详细说明") : QString()) << style;
        // No handler: pressing the button just closes the sheet.
        ASSERT_TRUE(WindowDriver::clickButton(alert, "确定"));
        testsupport::spin(50);
        EXPECT_EQ(host.driver.openDialog(), nullptr);
    }
}

TEST(AlertManager, TheIconIsTheGivenPictureElseTheApplications)
{
    QImage appIcon(32, 32, QImage::Format_ARGB32);
    appIcon.fill(Qt::darkGreen);
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(appIcon)));
    QImage given(32, 32, QImage::Format_ARGB32);
    given.fill(Qt::red);
    for (const bool withIcon : {false, true}) {
        Host host;
        AlertManager::alertByWindow(&host.window, {"确定"}, withIcon ? given : QImage(), "m", "i", 1,
                                    nullptr);
        QMessageBox *alert = host.driver.waitForAlert();
        ASSERT_TRUE(alert);
        const QImage shown = alert->iconPixmap().toImage();
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)),
                  withIcon ? QColor(Qt::red) : QColor(Qt::darkGreen));
        alert->close();
    }
    QApplication::setWindowIcon(QIcon());
}
