#include "Common/CircularProgress/CustomButton.h"

#include "ActionRecorder.h"
#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AssociatedObject.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Platform/Layers/LayerHostWidget.h"
#include "ProgressTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace progresstest;

namespace {

// A shown button on a manual clock, wired to a recorder, with distinct colours for both looks.
struct ButtonScene
{
    platform::LayerHostWidget window;
    CustomButton *button = new CustomButton(QRect(20, 20, 100, 40), &window);
    ActionRecorder recorder;

    ButtonScene()
    {
        window.resize(200, 100);
        window.clock().setManual(true);
        button->setBackgroundColor(Qt::darkBlue);
        button->setActiveBackgroundColor(Qt::red);
        button->setTarget(&recorder);
        button->setAction("buttonPressed");
        window.show();
        settle(window.host(), 0.3);
    }

    QColor background() { return shownColor(button->host().layer(), QStringLiteral("backgroundColor")); }
    void press(QPoint at = QPoint(50, 20)) { QTest::mousePress(button, Qt::LeftButton, {}, at); }
    void move(QPoint at) { QTest::mouseMove(button, at); }
    void release(QPoint at = QPoint(50, 20)) { QTest::mouseRelease(button, Qt::LeftButton, {}, at); }
};

} // namespace

TEST(CustomButton, StartsWithTheDocumentedLook)
{
    platform::LayerHostWidget window;
    window.clock().setManual(true);
    auto *button = new CustomButton(QRect(0, 0, 80, 30), &window);
    settle(window.host(), 0.3);
    EXPECT_DOUBLE_EQ(button->cornerRadius(), 4.0);
    EXPECT_DOUBLE_EQ(button->borderWidth(), 0.0);
    EXPECT_DOUBLE_EQ(button->shadowOpacity(), 0.0);
    EXPECT_EQ(button->textColor(), QColor(Qt::white));
    EXPECT_EQ(button->backgroundColor(), ColorHelpers::sharedDefaultColor());
    EXPECT_FALSE(button->activeShadowColor().has_value());
    const platform::LayerPtr &layer = button->host().layer();
    EXPECT_DOUBLE_EQ(layer->cornerRadius(), 4.0);
    EXPECT_FALSE(layer->masksToBounds()) << "the shadow shows outside the bounds";
    EXPECT_TRUE(sameRgb(layer->backgroundColor(), ColorHelpers::sharedDefaultColor(), 1));
    EXPECT_TRUE(sameRgb(button->titleLayer()->foregroundColor(), Qt::white, 1));
}

TEST(CustomButton, CircularButtonGeometry)
{
    std::unique_ptr<CustomButton> button(
        CustomButton::circularButton(QStringLiteral("╳"), 15, QPointF(50, 50)));
    EXPECT_EQ(button->geometry(), QRect(35, 35, 30, 30));
    EXPECT_DOUBLE_EQ(button->cornerRadius(), 15.0);
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 10.0);
    EXPECT_DOUBLE_EQ(button->titleLayer()->fontSize(), 10.0);
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
    scene.window.clock().advance(0.1);
    const QColor midway = scene.background();
    EXPECT_GT(midway.red(), 20);
    EXPECT_LT(midway.red(), 235) << "the active colour is reached by a 0.2 s transition";
    settle(scene.window.host(), 0.15);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::red));
    EXPECT_EQ(scene.recorder.count, 0);

    scene.release();
    EXPECT_FALSE(scene.button->isMouseDown());
    EXPECT_EQ(scene.button->state(), CustomButton::OffState);
    EXPECT_EQ(scene.recorder.count, 1);
    EXPECT_EQ(scene.recorder.lastSender, scene.button);
    settle(scene.window.host(), 0.12);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue)) << "back within the 0.1 s transition";

    scene.release();
    EXPECT_EQ(scene.recorder.count, 1) << "a release without a press does nothing";
}

TEST(CustomButton, AQuickClickEndsInTheRestingColour)
{
    ButtonScene scene;
    scene.press();
    scene.window.clock().advance(0.05);
    scene.release();
    settle(scene.window.host(), 0.3);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue));
    EXPECT_TRUE(sameRgb(scene.button->host().layer()->backgroundColor(), Qt::darkBlue));
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
    settle(scene.window.host(), 0.3);
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

TEST(CustomButton, ShadowValuesFollowThePressedState)
{
    ButtonScene scene;
    const platform::LayerPtr &layer = scene.button->host().layer();
    scene.button->setShadowRadius(3);
    settle(scene.window.host(), 0.05);
    scene.press();
    scene.button->updateLayer();
    EXPECT_DOUBLE_EQ(layer->shadowRadius(), 3.0) << "−1 means the inactive radius";
    scene.release();

    scene.button->setActiveShadowRadius(6);
    scene.press();
    scene.button->updateLayer();
    EXPECT_DOUBLE_EQ(layer->shadowRadius(), 6.0);
    scene.release();
    scene.button->updateLayer();
    EXPECT_DOUBLE_EQ(layer->shadowRadius(), 3.0);

    scene.button->setActiveShadowRadius(-2);
    scene.press();
    scene.button->updateLayer();
    EXPECT_DOUBLE_EQ(layer->shadowRadius(), -2.0) << "only exactly −1 falls back";
    scene.release();
}

TEST(CustomButton, GeneratorsAndTheActiveShadowColour)
{
    ButtonScene scene;
    const platform::LayerPtr &layer = scene.button->host().layer();
    scene.button->setColorGenerator(CustomButton::ColorProperty::BackgroundColor,
                                    [] { return QColor(Qt::green); });
    scene.button->setColorGenerator(CustomButton::ColorProperty::ShadowColor,
                                    [] { return QColor(Qt::yellow); });
    EXPECT_TRUE(sameRgb(scene.background(), Qt::darkBlue)) << "a generator waits for the next transition";
    scene.button->animateColor();
    settle(scene.window.host(), 0.2);
    EXPECT_TRUE(sameRgb(scene.background(), Qt::green));

    scene.press();
    settle(scene.window.host(), 0.3);
    EXPECT_TRUE(sameRgb(layer->shadowColor(), Qt::yellow)) << "no active shadow colour: the generated one";
    scene.release();
    scene.button->setActiveShadowColor(QColor(Qt::magenta));
    scene.press();
    settle(scene.window.host(), 0.3);
    EXPECT_TRUE(sameRgb(layer->shadowColor(), Qt::magenta)) << "set, it wins over the generator";
    scene.release();

    scene.button->setColorGenerator(CustomButton::ColorProperty::BackgroundColor, {});
    EXPECT_FALSE(scene.button->colorGenerator(CustomButton::ColorProperty::BackgroundColor));
}

TEST(CustomButton, DisabledButtonsLetClicksThrough)
{
    ButtonScene scene;
    scene.button->setEnabled(false);
    EXPECT_DOUBLE_EQ(scene.button->host().alphaValue(), 0.6);
    EXPECT_EQ(scene.window.childAt(QPoint(60, 30)), nullptr) << "the view behind gets the click";
    scene.button->setEnabled(true);
    EXPECT_DOUBLE_EQ(scene.button->host().alphaValue(), 1.0);
    EXPECT_EQ(scene.window.childAt(QPoint(60, 30)), scene.button);
}

TEST(CustomButton, AResizedButtonTracksItsNewBounds)
{
    ButtonScene scene;
    scene.button->resize(160, 40);
    QApplication::processEvents();
    ASSERT_NE(scene.button->trackingArea(), nullptr);
    EXPECT_EQ(scene.button->trackingArea()->rect(), QRectF(0, 0, 160, 40));
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
    QApplication::processEvents();
    const QRectF frame = scene.button->titleLayer()->frame();
    EXPECT_NEAR(frame.center().x(), 50.0, 0.5);
    EXPECT_NEAR(frame.center().y(), 20.0, 0.5);
    EXPECT_EQ(frame.x(), std::round(frame.x()));
    EXPECT_EQ(frame.y(), std::round(frame.y()));
}

TEST(ActionClosure, AttachesToAnyControlAndReplacesTheTarget)
{
    ButtonScene scene;
    QWidget *received = nullptr;
    ActionClosure::set(scene.button, [&](QWidget *control) { received = control; });
    EXPECT_EQ(scene.button->target(), scene.button);
    EXPECT_EQ(scene.button->action(), QByteArray("callClosure"));
    scene.press();
    scene.release();
    EXPECT_EQ(received, scene.button);
    EXPECT_EQ(scene.recorder.count, 0) << "the earlier target was replaced";

    ActionClosure::set(scene.button, {});
    received = nullptr;
    scene.press();
    scene.release();
    EXPECT_EQ(received, nullptr);
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
}

TEST(AssociatedObject, ValuesLiveWithTheirObjectAndKeepTheirType)
{
    AssociatedObject<int> number;
    AssociatedObject<QString> text;
    auto object = std::make_unique<QObject>();
    EXPECT_FALSE(number.get(object.get()));
    number.set(object.get(), 7);
    text.set(object.get(), QStringLiteral("seven"));
    EXPECT_EQ(number.get(object.get()), 7);
    EXPECT_EQ(text.get(object.get()), QStringLiteral("seven"));
    number.set(object.get(), std::nullopt);
    EXPECT_FALSE(number.get(object.get()));

    auto shared = std::make_shared<int>(3);
    AssociatedObject<std::shared_ptr<int>> holder;
    holder.set(object.get(), shared);
    EXPECT_EQ(shared.use_count(), 2);
    object.reset();
    EXPECT_EQ(shared.use_count(), 1) << "the value goes with its object";
}
