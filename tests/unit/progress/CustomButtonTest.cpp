#include "Common/CircularProgress/CustomButton.h"

#include "ActionRecorder.h"
#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "ProgressTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace progresstest;
using Paint = CustomButton::Paint;

namespace {

// A shown button on a stepped clock, wired to a recorder, with distinct colours for both looks.
struct ButtonScene
{
    ManualAnimationDriver clock;
    QWidget window;
    CustomButton *button = new CustomButton(QRect(20, 20, 100, 40), &window);
    ActionRecorder recorder;

    ButtonScene()
    {
        window.resize(200, 100);
        button->setBackgroundColor(Qt::darkBlue);
        button->setActiveBackgroundColor(Qt::red);
        button->setTarget(&recorder);
        button->setAction("buttonPressed");
        window.show();
        settle(clock, 0.3);
    }

    QColor background() { return button->shownColor(Paint::Background); }
    void press(QPoint at = QPoint(50, 20)) { QTest::mousePress(button, Qt::LeftButton, {}, at); }
    void move(QPoint at) { QTest::mouseMove(button, at); }
    void release(QPoint at = QPoint(50, 20)) { QTest::mouseRelease(button, Qt::LeftButton, {}, at); }
};

} // namespace

TEST(CustomButton, StartsWithTheDocumentedLook)
{
    ManualAnimationDriver clock;
    CustomButton button(QRect(0, 0, 80, 30));
    EXPECT_DOUBLE_EQ(button.cornerRadius(), 4.0);
    EXPECT_DOUBLE_EQ(button.borderWidth(), 0.0);
    EXPECT_DOUBLE_EQ(button.shadowOpacity(), 0.0);
    EXPECT_EQ(button.textColor(), QColor(Qt::white));
    EXPECT_EQ(button.backgroundColor(), ColorHelpers::sharedDefaultColor());
    EXPECT_FALSE(button.activeShadowColor().has_value());
    EXPECT_EQ(button.graphicsEffect(), nullptr) << "no shadow";
    // A new button shows its colours at once.
    EXPECT_TRUE(sameRgb(button.shownColor(Paint::Background), ColorHelpers::sharedDefaultColor(), 1));
    EXPECT_TRUE(sameRgb(button.shownColor(Paint::Title), Qt::white, 1));

    // Painted: the rounded background fills the button but not its corners.
    const QImage image = render(button);
    EXPECT_TRUE(sameRgb(image.pixelColor(40, 15), ColorHelpers::sharedDefaultColor(), 1));
    EXPECT_LT(qAlpha(image.pixel(0, 0)), 100);
}

TEST(CustomButton, CircularButtonGeometry)
{
    std::unique_ptr<CustomButton> button(
        CustomButton::circularButton(QStringLiteral("╳"), 15, QPointF(50, 50)));
    EXPECT_EQ(button->geometry(), QRect(35, 35, 30, 30));
    EXPECT_DOUBLE_EQ(button->cornerRadius(), 15.0);
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 10.0);
    EXPECT_DOUBLE_EQ(button->titleLayer()->fontSize(), 10.0);
    EXPECT_EQ(button->titleLayer()->font().pixelSize(), 10) << "points are the screen's units";
    EXPECT_EQ(button->titleLayer()->string(), QStringLiteral("╳"));
}

TEST(CustomButton, ClickShowsTheActiveLookThenSendsTheAction)
{
    ButtonScene scene;
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue));

    scene.move(QPoint(50, 20));
    EXPECT_EQ(scene.button->state(), CustomButton::OffState) << "hovering alone changes nothing";

    scene.press();
    EXPECT_TRUE(scene.button->isMouseDown());
    EXPECT_EQ(scene.button->state(), CustomButton::OnState);
    scene.clock.advance(0.1);
    const QColor midway = scene.background();
    EXPECT_GT(midway.red(), 20);
    EXPECT_LT(midway.red(), 235) << "the active colour is reached by a 0.2 s transition";
    settle(scene.clock, 0.15);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::red));
    EXPECT_EQ(scene.recorder.count, 0);

    scene.release();
    EXPECT_FALSE(scene.button->isMouseDown());
    EXPECT_EQ(scene.button->state(), CustomButton::OffState);
    EXPECT_EQ(scene.recorder.count, 1);
    EXPECT_EQ(scene.recorder.lastSender, scene.button);
    settle(scene.clock, 0.12);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue)) << "back within the 0.1 s transition";

    scene.release();
    EXPECT_EQ(scene.recorder.count, 1) << "a release without a press does nothing";
}

TEST(CustomButton, AQuickClickEndsInTheRestingColour)
{
    ButtonScene scene;
    scene.press();
    scene.clock.advance(0.05);
    scene.release();
    settle(scene.clock, 0.3);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue));
    EXPECT_TRUE(sameRgb(render(*scene.button).pixelColor(50, 20), Qt::darkBlue));
    EXPECT_EQ(scene.recorder.count, 1);
}

TEST(CustomButton, LeavingWhilePressedAbandonsTheClick)
{
    ButtonScene scene;
    scene.press();
    scene.move(QPoint(150, 20));
    EXPECT_FALSE(scene.button->isMouseDown());
    EXPECT_EQ(scene.button->state(), CustomButton::OffState);
    scene.move(QPoint(50, 20));
    EXPECT_EQ(scene.button->state(), CustomButton::OffState) << "coming back does not re-activate";
    scene.release(QPoint(150, 20));
    EXPECT_EQ(scene.recorder.count, 0);
    settle(scene.clock, 0.3);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue));

    // A leave event from the platform abandons the press as well.
    scene.press();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(scene.button, &leave);
    scene.release();
    EXPECT_EQ(scene.recorder.count, 0);
}

TEST(CustomButton, MixedStateAndNoTarget)
{
    ButtonScene scene;
    scene.button->setState(CustomButton::MixedState);
    scene.press();
    EXPECT_EQ(scene.button->state(), CustomButton::OffState);
    scene.release();
    EXPECT_EQ(scene.button->state(), CustomButton::OnState);

    scene.button->setTarget(nullptr);
    scene.button->setState(CustomButton::OffState);
    int clicks = 0;
    QObject::connect(scene.button, &QAbstractButton::clicked, [&] { ++clicks; });
    scene.press();
    scene.release();
    EXPECT_EQ(scene.recorder.count, 1) << "only the mixed-state click reached the recorder";
    EXPECT_EQ(clicks, 1);
}

TEST(CustomButton, ADoubleClickIsTwoClicks)
{
    ButtonScene scene;
    // As the platform delivers one: press, release, double-click press, release.
    scene.press();
    scene.release();
    QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(50, 20),
                       scene.button->mapToGlobal(QPointF(50, 20)), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(scene.button, &second);
    EXPECT_EQ(scene.button->state(), CustomButton::OnState) << "the second press shows the active look";
    scene.release();
    EXPECT_EQ(scene.recorder.count, 2);
    EXPECT_EQ(scene.button->state(), CustomButton::OffState);
    EXPECT_FALSE(scene.button->isMouseDown());
}

TEST(CustomButton, KeyboardClicks)
{
    ButtonScene scene;
    QTest::keyPress(scene.button, Qt::Key_Space);
    EXPECT_EQ(scene.button->state(), CustomButton::OnState) << "space shows the pressed look";
    EXPECT_EQ(scene.recorder.count, 0);
    QTest::keyRelease(scene.button, Qt::Key_Space);
    EXPECT_EQ(scene.button->state(), CustomButton::OffState);
    EXPECT_EQ(scene.recorder.count, 1);
    QTest::keyClick(scene.button, Qt::Key_Return);
    EXPECT_EQ(scene.recorder.count, 2);
}

TEST(CustomButton, ShadowValuesFollowThePressedState)
{
    ButtonScene scene;
    scene.button->setShadowRadius(3);
    scene.button->setShadowOpacity(0.5);
    settle(scene.clock, 0.05);
    auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(scene.button->graphicsEffect());
    ASSERT_NE(shadow, nullptr) << "a shadow falls outside the button, as a graphics effect";
    scene.press();
    EXPECT_DOUBLE_EQ(scene.button->shownShadowRadius(), 3.0) << "−1 means the inactive radius";
    EXPECT_DOUBLE_EQ(scene.button->shownShadowOpacity(), 0.5);
    scene.release();

    scene.button->setActiveShadowRadius(6);
    scene.press();
    EXPECT_DOUBLE_EQ(scene.button->shownShadowRadius(), 6.0);
    EXPECT_DOUBLE_EQ(shadow->blurRadius(), 12.0) << "set at once, without a transition";
    scene.release();
    EXPECT_DOUBLE_EQ(scene.button->shownShadowRadius(), 3.0);
    EXPECT_DOUBLE_EQ(shadow->blurRadius(), 6.0);

    scene.button->setActiveShadowRadius(-2);
    scene.press();
    EXPECT_DOUBLE_EQ(scene.button->shownShadowRadius(), -2.0) << "only exactly −1 falls back";
    scene.release();

    scene.button->setShadowOpacity(0);
    EXPECT_EQ(scene.button->graphicsEffect(), nullptr) << "no shadow, no effect";
}

TEST(CustomButton, GeneratorsAndTheActiveShadowColour)
{
    ButtonScene scene;
    scene.button->setColorGenerator(CustomButton::ColorProperty::BackgroundColor,
                                    [] { return QColor(Qt::green); });
    scene.button->setColorGenerator(CustomButton::ColorProperty::ShadowColor,
                                    [] { return QColor(Qt::yellow); });
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue)) << "a generator waits for the next transition";
    scene.button->animateColor();
    settle(scene.clock, 0.2);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::green));

    scene.press();
    settle(scene.clock, 0.3);
    EXPECT_TRUE(sameRgb(scene.button->shownColor(Paint::Shadow), Qt::yellow))
        << "no active shadow colour: the generated one";
    scene.release();
    scene.button->setActiveShadowColor(QColor(Qt::magenta));
    scene.press();
    settle(scene.clock, 0.3);
    EXPECT_TRUE(sameRgb(scene.button->shownColor(Paint::Shadow), Qt::magenta))
        << "set, it wins over the generator";
    scene.release();

    scene.button->setColorGenerator(CustomButton::ColorProperty::BackgroundColor, {});
    EXPECT_FALSE(scene.button->colorGenerator(CustomButton::ColorProperty::BackgroundColor));
}

TEST(CustomButton, DisabledButtonsLetClicksThrough)
{
    ButtonScene scene;
    scene.button->setEnabled(false);
    EXPECT_DOUBLE_EQ(scene.button->alphaValue(), 0.6);
    EXPECT_EQ(scene.window.childAt(QPoint(60, 30)), nullptr) << "the view behind gets the click";
    const QColor drawn = render(scene.window).pixelColor(60, 30);
    EXPECT_NEAR(drawn.alphaF(), 0.6, 0.02) << "drawn at 0.6 opacity";
    scene.button->setEnabled(true);
    EXPECT_DOUBLE_EQ(scene.button->alphaValue(), 1.0);
    EXPECT_EQ(scene.window.childAt(QPoint(60, 30)), scene.button);
}

TEST(CustomButton, AResizedButtonIsPressedAllOver)
{
    ButtonScene scene;
    scene.button->resize(160, 40);
    QApplication::processEvents();
    scene.press(QPoint(140, 20));
    scene.move(QPoint(150, 20));
    EXPECT_TRUE(scene.button->isMouseDown()) << "the new part of the button is still the button";
    scene.release(QPoint(150, 20));
    EXPECT_EQ(scene.recorder.count, 1);
}

TEST(CustomButton, TitleIsCentredAndSnappedToWholePoints)
{
    ButtonScene scene;
    scene.button->setTitle(QStringLiteral("开始"));
    const QRectF frame = scene.button->titleLayer()->frame();
    EXPECT_NEAR(frame.center().x(), 50.0, 0.5);
    EXPECT_NEAR(frame.center().y(), 20.0, 0.5);
    EXPECT_EQ(frame.x(), std::round(frame.x()));
    EXPECT_EQ(frame.bottom(), std::round(frame.bottom()));
}

TEST(ActionClosure, AttachesToAnyControlAndReplacesTheTarget)
{
    ButtonScene scene;
    QWidget *received = nullptr;
    ActionClosure::set(scene.button, [&](QWidget *control) { received = control; });
    EXPECT_EQ(scene.button->target(), scene.button);
    EXPECT_EQ(scene.button->action(), QByteArray("callClosure"));
    EXPECT_TRUE(ActionClosure::get(scene.button));
    scene.press();
    scene.release();
    EXPECT_EQ(received, scene.button);
    EXPECT_EQ(scene.recorder.count, 0) << "the earlier target was replaced";

    ActionClosure::set(scene.button, {});
    received = nullptr;
    scene.press();
    scene.release();
    EXPECT_EQ(received, nullptr);
    EXPECT_FALSE(ActionClosure::get(scene.button));
    EXPECT_EQ(scene.button->action(), QByteArray("callClosure")) << "target and action stay";

    QPushButton plain;
    int calls = 0;
    ActionClosure::set(&plain, [&](QWidget *control) { calls += control == &plain ? 1 : 100; });
    ActionClosure::set(&plain, [&](QWidget *control) { calls += control == &plain ? 10 : 100; });
    plain.click();
    EXPECT_EQ(calls, 10) << "the latest closure runs, once";

    QComboBox popUp;
    popUp.addItems({QStringLiteral("a"), QStringLiteral("b")});
    bool chosen = false;
    ActionClosure::set(&popUp, [&](QWidget *) { chosen = true; });
    emit popUp.activated(1);
    EXPECT_TRUE(chosen);

    // The closure lives as long as its control.
    auto shared = std::make_shared<int>(3);
    auto owner = std::make_unique<QPushButton>();
    ActionClosure::set(owner.get(), [shared](QWidget *) {});
    EXPECT_EQ(shared.use_count(), 2);
    owner.reset();
    EXPECT_EQ(shared.use_count(), 1);
}
