#include "UI/AlertManager.h"

#include "UI/ControlStyle.h"
#include "WindowDriver.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
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

QPushButton *button(QMessageBox *alert, int index)
{
    return alert->findChild<QPushButton *>(QStringLiteral("alertButton%1").arg(index));
}

// A key as a person presses it: to whatever has the focus in the active alert.
void press(QMessageBox *alert, Qt::Key key)
{
    alert->activateWindow();
    testsupport::waitUntil([&] { return alert->isActiveWindow(); }, 3000);
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : alert;
    QTest::keyClick(target, key);
}

AlertOptions buttons(int defaultButton, int cancelButton, int destructiveButton)
{
    AlertOptions options;
    options.defaultButton = defaultButton;
    options.cancelButton = cancelButton;
    options.destructiveButton = destructiveButton;
    return options;
}

// Whether the label's text takes more lines at its width than it would on one unbounded line.
bool wraps(QLabel *label)
{
    return label->heightForWidth(label->width()) > label->heightForWidth(QWIDGETSIZE_MAX);
}

// The colour a button is filled with, beside its title.
QColor fill(QPushButton *button)
{
    const QImage image = button->grab().toImage();
    return image.pixelColor(6, image.height() / 2);
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

// The erase confirmation as the window puts it up: Return and Escape both keep the drive, the erasing
// button is red and says what it does; the results are the ones the titles always had.
TEST(AlertManager, ReturnAndEscapeTakeTheSafeChoiceAndTheErasingButtonIsMarked)
{
    struct Case
    {
        QStringList titles;
        AlertOptions options;
        Qt::Key key;
        int64_t expected;
    };
    const Case cases[] = {
        {{"立刻创建", "取消"}, buttons(1, -1, 0), Qt::Key_Return, 1001},
        {{"立刻创建", "取消"}, buttons(1, -1, 0), Qt::Key_Escape, 1001},
        // Without options the first button stays the default, as it always was.
        {{"打开", "暂不安装"}, {}, Qt::Key_Return, 1000},
        // Titles nothing recognises: Escape answers the cancel button named by index.
        {{"Erase", "Keep", "Later"}, buttons(2, 1, -1), Qt::Key_Escape, 1001},
        {{"Erase", "Keep", "Later"}, buttons(2, 1, -1), Qt::Key_Return, 1002},
        // Out of range: ignored.
        {{"确定"}, buttons(5, 7, 9), Qt::Key_Escape, 1000},
    };
    for (const Case &c : cases) {
        Host host;
        std::vector<int64_t> answers;
        QMessageBox *alert = AlertManager::alertByWindow(
            &host.window, c.titles, QImage(), "温馨提示", "说明", AlertManager::InformationalStyle,
            [&](int64_t r) { answers.push_back(r); }, c.options);
        ASSERT_TRUE(host.driver.waitForAlert());
        const std::string what = c.titles.join(',').toStdString() + " key " + std::to_string(c.key);
        const int destructive = c.options.destructiveButton;
        for (int i = 0; i < c.titles.size(); ++i) {
            QPushButton *b = button(alert, i);
            ASSERT_TRUE(b) << what;
            const bool erases = i == destructive;
            EXPECT_EQ(b->property(ControlStyle::DestructiveProperty).toBool(), erases) << what;
            EXPECT_EQ(b->accessibleDescription().isEmpty(), !erases) << what;
            if (erases) {
                EXPECT_EQ(fill(b), ControlStyle::destructiveColor()) << what;
            } else if (!b->hasFocus()) {
                EXPECT_EQ(fill(b), QColor(Qt::white)) << what;
            }
        }
        press(alert, c.key);
        testsupport::spin(50);
        ASSERT_EQ(answers.size(), 1u) << what;
        EXPECT_EQ(answers[0], c.expected) << what;
        EXPECT_EQ(host.driver.openDialog(), nullptr) << what;
    }
}

// The texts stay exactly as given; the detail stands under them, visible without a click; a long text
// wraps inside an alert of sensible width, and a short one is not broken up.
TEST(AlertManager, TheDetailIsVisibleAndLongTextsWrapWithinASensibleWidth)
{
    const QString longText = QStringLiteral("The drive \u201cUntitled USB Stick With A Long Name\u201d is "
                                            "about to be erased. All of its data will "
                                            "be lost, and this cannot be undone!");
    const QString detail = QStringLiteral(
        "\u201cTextEdit.app\u201d is not a macOS installer. Pick an application named like \u201cInstall "
        "macOS Mojave\u201d, which the App Store downloads into Applications.");
    for (const bool withIcon : {false, true}) {
        Host host;
        QImage icon(64, 64, QImage::Format_ARGB32);
        icon.fill(Qt::blue);
        AlertOptions options;
        options.detailText = detail;
        QMessageBox *alert = AlertManager::alertByWindow(&host.window, {"Create Now", "Cancel"},
                                                         withIcon ? icon : QImage(), "Notice", longText,
                                                         AlertManager::InformationalStyle, nullptr, options);
        ASSERT_TRUE(host.driver.waitForAlert());
        testsupport::spin(50);
        EXPECT_EQ(alert->text(), "Notice");
        EXPECT_EQ(alert->informativeText(), longText);
        EXPECT_TRUE(alert->detailedText().isEmpty()) << "no hidden details behind a button";
        auto *informative = alert->findChild<QLabel *>("qt_msgbox_informativelabel");
        auto *shown = alert->findChild<QLabel *>("alertDetailLabel");
        ASSERT_TRUE(informative && shown);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shown->text(), detail);
        EXPECT_GT(shown->y(), informative->y() + informative->height() - 1) << "under the texts";
        EXPECT_LT(shown->y() + shown->height(), button(alert, 0)->mapTo(alert, QPoint()).y())
            << "above the buttons";

        EXPECT_LE(alert->width(), 480) << "icon " << withIcon;
        EXPECT_GE(alert->width(), AlertManager::TextWidth) << "the text is not squeezed to the buttons";
        for (QLabel *label : {informative, shown}) {
            EXPECT_TRUE(wraps(label)) << label->text().toStdString();
            EXPECT_LE(label->geometry().right(), alert->width()) << "inside the alert";
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << "nothing cut off";
        }
        alert->close();
    }

    Host host;
    QMessageBox *alert = AlertManager::alertByWindow(&host.window, {"OK"}, QImage(), "Notice", "Short text.",
                                                     AlertManager::InformationalStyle, nullptr);
    ASSERT_TRUE(host.driver.waitForAlert());
    testsupport::spin(50);
    auto *informative = alert->findChild<QLabel *>("qt_msgbox_informativelabel");
    EXPECT_FALSE(wraps(informative));
    EXPECT_EQ(alert->findChild<QLabel *>("alertDetailLabel"), nullptr);
    alert->close();
}
