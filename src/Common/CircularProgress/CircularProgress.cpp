#include "Common/CircularProgress/CircularProgress.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/CircularProgressAccessible.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/LayerHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"
#include "Platform/Runtime/Dispatch.h"

#include <QAccessible>
#include <QEvent>
#include <QKeyEvent>
#include <algorithm>
#include <cmath>

namespace {

const QString rotateKey = QStringLiteral("rotate");
constexpr double colorChangeDuration = 0.2;

} // namespace

CircularProgress::CircularProgress(const QRect &frame, QWidget *parent)
    : QWidget(parent), m_host(new platform::LayerHost(this)),
      m_originalColor(ColorHelpers::sharedDefaultColor()), m_color(ColorHelpers::sharedDefaultColor())
{
    setGeometry(frame);
    CircularProgressAccessible::installFactory();
    setFocusPolicy(Qt::NoFocus);
    ensureSetUp();
}

CircularProgress::CircularProgress(const QSize &size, QWidget *parent)
    : CircularProgress(QRect(QPoint(0, 0), size), parent)
{}

CircularProgress::CircularProgress(QWidget *parent)
    : QWidget(parent), m_host(new platform::LayerHost(this)),
      m_originalColor(ColorHelpers::sharedDefaultColor()), m_color(ColorHelpers::sharedDefaultColor())
{
    CircularProgressAccessible::installFactory();
    setFocusPolicy(Qt::NoFocus);
}

CircularProgress::~CircularProgress() = default;

bool CircularProgress::event(QEvent *event)
{
    switch (event->type()) {
    // A view hidden until needed (the window's ring) is built when first shown or used: measuring its
    // label looks up fonts, which a window's first frame need not wait for.
    case QEvent::Polish:
        if (!isHidden())
            ensureSetUp();
        break;
    case QEvent::Show:
        ensureSetUp();
        updateTrackingAreas();
        break;
    case QEvent::Resize:
        if (m_setUp)
            updateTrackingAreas();
        break;
    // From the keyboard the ring stands for its cancel button: focus shows it as the pointer would, and
    // Return or Space presses it.
    case QEvent::FocusIn:
        if (m_setUp)
            mouseEntered(event);
        break;
    case QEvent::FocusOut:
        if (m_setUp)
            mouseExited(event);
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && isCancellable() &&
            !isCancelled() && !isFinished()) {
            cancelButton()->click();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::event(event);
}

void CircularProgress::ensureSetUp()
{
    if (!m_setUp && !m_settingUp)
        commonSetUp();
}

void CircularProgress::commonSetUp()
{
    m_settingUp = true;
    m_host->setDisplayHandler([this] { updateLayer(); });
    const platform::LayerPtr &layer = m_host->layer();
    layer->addSublayer(backgroundCircle());
    layer->addSublayer(indeterminateCircle());
    layer->addSublayer(progressCircle());
    layer->addSublayer(progressLabel());
    // The subviews' layers stack above the view's own sublayers, the cancel button on top.
    successView();
    cancelButton();
    progressCircle()->setHidden(isIndeterminate());
    indeterminateCircle()->setHidden(!isIndeterminate());
    m_settingUp = false;
    m_setUp = true;
    m_host->setNeedsDisplay();
}

QRectF CircularProgress::buildBounds() const
{
    return QRectF(0, 0, width(), height());
}

double CircularProgress::radius()
{
    if (!m_radius) {
        const QRectF b = buildBounds();
        m_radius = (b.height() > b.width() ? b.center().x() : b.center().y()) * 0.8;
    }
    return *m_radius;
}

const platform::ShapeLayerPtr &CircularProgress::backgroundCircle()
{
    if (!m_backgroundCircle) {
        const QRectF b = buildBounds();
        m_backgroundCircle = LayerHelpers::circleLayer(radius(), GeometryHelpers::center(b));
        m_backgroundCircle->setFrame(b);
        m_backgroundCircle->setFillColor(QColor());
        m_backgroundCircle->setLineWidth(m_lineWidth * 0.5);
        // The translucent track is the costliest stroke of a frame on dense screens and never moves.
        m_backgroundCircle->setShouldRasterize(true);
    }
    return m_backgroundCircle;
}

const std::shared_ptr<ProgressCircleShapeLayer> &CircularProgress::progressCircle()
{
    if (!m_progressCircle) {
        m_progressCircle = ProgressCircleShapeLayer::create(radius(), GeometryHelpers::center(buildBounds()));
        m_progressCircle->setLineWidth(m_lineWidth);
    }
    return m_progressCircle;
}

const std::shared_ptr<IndeterminateProgressCircleShapeLayer> &CircularProgress::indeterminateCircle()
{
    if (!m_indeterminateCircle) {
        m_indeterminateCircle =
            IndeterminateProgressCircleShapeLayer::create(radius(), GeometryHelpers::center(buildBounds()));
        m_indeterminateCircle->setLineWidth(m_lineWidth);
    }
    return m_indeterminateCircle;
}

const platform::TextLayerPtr &CircularProgress::progressLabel()
{
    if (!m_progressLabel) {
        const QRectF b = buildBounds();
        m_progressLabel = LayerHelpers::textLayer(QStringLiteral("0%"));
        m_progressLabel->setForegroundColor(m_color);
        m_progressLabel->setFontSize(0.2 * std::min(b.width(), b.height()));
        m_progressLabel->setFrame(QRectF(0, 0, b.width(), m_progressLabel->preferredFrameSize().height()));
        m_progressLabel->setPosition(GeometryHelpers::center(b));
        m_progressLabel->setAnchorPoint(QPointF(0.5, 0.5));
        m_progressLabel->setAlignmentMode(platform::TextLayer::Alignment::Center);
        m_progressLabel->setFont(LayerHelpers::labelFont());
        m_progressLabel->setHidden(true);
    }
    return m_progressLabel;
}

CustomButton *CircularProgress::cancelButton()
{
    if (!m_cancelButton) {
        const QRectF b = buildBounds();
        m_cancelButton = CustomButton::circularButton(QStringLiteral("\u2573"), radius(),
                                                      GeometryHelpers::center(b), this);
        m_cancelButton->setTextColor(m_color);
        m_cancelButton->setBackgroundColor(ColorHelpers::withAlpha(m_color, 0.1));
        m_cancelButton->setActiveBackgroundColor(m_color);
        m_cancelButton->setBorderWidth(0);
        m_cancelButton->setHidden(true);
        // From the keyboard the ring itself stands for the button, which only shows while the ring has focus.
        m_cancelButton->setFocusPolicy(Qt::NoFocus);
        // Its title is a drawn cross, which says nothing to a screen reader.
        m_cancelButton->setAccessibleName(tr("取消"));
        m_cancelButton->setAccessibleDescription(tr("停止正在进行的任务"));
        QPointer<CircularProgress> self(this);
        ActionClosure::set(m_cancelButton, [self](QWidget *) {
            if (self)
                self->cancelProgress();
        });
    }
    return m_cancelButton;
}

CheckmarkView *CircularProgress::successView()
{
    if (!m_successView) {
        m_successView = new CheckmarkView(buildBounds().toRect(), this);
        m_successView->setColor(m_color);
        m_successView->setLineWidth(m_lineWidth);
        m_successView->setHidden(true);
    }
    return m_successView;
}

bool CircularProgress::cancelButtonHidden()
{
    return platform::LayerHost::isViewHidden(cancelButton());
}

void CircularProgress::setColor(const QColor &color)
{
    m_color = color;
    m_originalColor = color;
    m_host->setNeedsDisplay();
}

void CircularProgress::setLineWidth(double width)
{
    ensureSetUp();
    m_lineWidth = width;
    backgroundCircle()->setLineWidth(width * 0.5);
    progressCircle()->setLineWidth(width);
    indeterminateCircle()->setLineWidth(width);
    successView()->setLineWidth(width);
}

void CircularProgress::setProgress(double value)
{
    ensureSetUp();
    if (std::isnan(value))
        value = 0.0;
    m_progress = std::min(std::max(value, 0.0), 1.0);
    emit progressChanged(m_progress);
    QAccessibleValueChangeEvent changed(this, static_cast<int>(m_progress * 100.0));
    QAccessible::updateAccessibility(&changed);

    QPointer<CircularProgress> self(this);
    AnimationHelpers::timedLayerAnimation(0.5, 0, AnimationHelpers::easeOutTiming(), [self] {
        if (self)
            self->progressCircle()->setProgress(self->m_progress);
    });

    const bool buttonHidden = cancelButtonHidden();
    if (m_progress == 0.0 && isIndeterminate())
        progressLabel()->setHidden(buttonHidden);
    else
        progressLabel()->setHidden(!buttonHidden);

    if (!progressLabel()->isHidden()) {
        progressLabel()->setString(QString::number(static_cast<long long>(m_progress * 100.0)) +
                                   QLatin1Char('%'));
        successView()->setHidden(true);
    }
    if (m_progress == 1.0)
        setIsFinished(true);
}

bool CircularProgress::isFinished() const
{
    return m_progressInstance ? m_progressInstance->isFinished() : m_isFinished;
}

void CircularProgress::setIsFinished(bool finished)
{
    ensureSetUp();
    m_isFinished = finished;
    if (!finished)
        return;
    clearIndeterminate();
    if (isCancelled())
        return;
    if (m_showCheckmarkAtHundredPercent) {
        progressLabel()->setString(QString());
        cancelButton()->setHidden(true);
        successView()->setHidden(false);
    }
}

bool CircularProgress::isCancellable() const
{
    return m_progressInstance ? m_progressInstance->isCancellable() : m_isCancellable;
}

void CircularProgress::setIsCancellable(bool cancellable)
{
    ensureSetUp();
    m_isCancellable = cancellable;
    updateTrackingAreas();
}

bool CircularProgress::isCancelled() const
{
    return m_progressInstance ? m_progressInstance->isCancelled() : m_isCancelled;
}

void CircularProgress::setIsCancelled(bool cancelled)
{
    ensureSetUp();
    m_isCancelled = cancelled;
    if (!cancelled)
        return;
    if (m_onCancelled)
        m_onCancelled();
    if (m_visualizeCancelledState) {
        if (m_cancelledStateColorHandler) {
            m_color = m_cancelledStateColorHandler(m_originalColor);
        } else {
            m_color = ColorHelpers::adjusted(m_originalColor, 0, -0.4, -0.2);
            m_host->setAlphaValue(0.7);
        }
        m_host->setNeedsDisplay();
    }
    clearIndeterminate();
}

void CircularProgress::cancelProgress()
{
    if (!isCancellable())
        return;
    if (m_progressInstance) {
        // The view follows the object's own cancellation, which arrives through the main queue.
        m_progressInstance->cancel();
        return;
    }
    setIsCancelled(true);
}

bool CircularProgress::isIndeterminate() const
{
    return m_progressInstance ? m_progressInstance->isIndeterminate() : m_isIndeterminate;
}

void CircularProgress::setIsIndeterminate(bool indeterminate)
{
    ensureSetUp();
    m_isIndeterminate = indeterminate;
    emit isIndeterminateChanged(indeterminate);
    if (m_isIndeterminate)
        indeterminateOn();
    else
        indeterminateOff();
}

void CircularProgress::clearIndeterminate()
{
    m_isIndeterminate = false;
    emit isIndeterminateChanged(false);
    indeterminateOff();
}

void CircularProgress::indeterminateOff()
{
    indeterminateCircle()->setHidden(true);
    progressCircle()->setHidden(false);
    progressLabel()->setHidden(!cancelButtonHidden());
}

void CircularProgress::indeterminateOn()
{
    progressCircle()->setHidden(true);
    indeterminateCircle()->setHidden(false);
    progressLabel()->setHidden(m_progress == 0.0 && isIndeterminate() && cancelButtonHidden());
}

void CircularProgress::setProgressInstance(std::shared_ptr<platform::Progress> progress)
{
    ensureSetUp();
    m_progressInstance = progress;
    if (!progress)
        return;

    using Key = platform::Progress::Key;
    const QPointer<CircularProgress> self(this);
    const std::weak_ptr<platform::Progress> observed = progress;
    // Changes may come from any thread; each only queues its work on the main queue, which then reads the
    // object the observation was made on.
    auto onMain = [self, observed](void (*work)(CircularProgress &, platform::Progress &)) {
        return [self, observed, work] {
            platform::Dispatch::main([self, observed, work] {
                const auto object = observed.lock();
                if (self && object)
                    work(*self, *object);
            });
        };
    };
    m_progressObserver = progress->observe(Key::FractionCompleted,
                                           onMain([](CircularProgress &view, platform::Progress &object) {
                                               if (view.isCancelled() || object.isFinished())
                                                   return;
                                               view.setProgress(object.fractionCompleted());
                                           }));
    m_finishedObserver =
        progress->observe(Key::IsFinished, onMain([](CircularProgress &view, platform::Progress &object) {
                              if (view.isCancelled())
                                  return;
                              if (object.isFinished())
                                  view.setProgress(1.0);
                          }));
    m_cancelledObserver =
        progress->observe(Key::IsCancelled, onMain([](CircularProgress &view, platform::Progress &object) {
                              view.setIsCancelled(object.isCancelled());
                          }));
    m_indeterminateObserver = progress->observe(
        Key::IsIndeterminate, onMain([](CircularProgress &view, platform::Progress &object) {
            view.setIsIndeterminate(object.isIndeterminate());
        }));

    m_isCancellable = progress->isCancellable();
    updateTrackingAreas();
    setIsIndeterminate(progress->isIndeterminate());
}

void CircularProgress::updateLayer()
{
    AnimationHelpers::animateLayerColor(backgroundCircle(), ColorHelpers::withAlpha(m_color, 0.5),
                                        QStringLiteral("strokeColor"), colorChangeDuration);
    AnimationHelpers::animateLayerColor(progressCircle(), m_color, QStringLiteral("strokeColor"),
                                        colorChangeDuration);
    AnimationHelpers::animateLayerColor(progressLabel(), m_color, QStringLiteral("foregroundColor"),
                                        colorChangeDuration);
    AnimationHelpers::animateLayerColor(indeterminateCircle(), m_color, QStringLiteral("strokeColor"),
                                        colorChangeDuration);
    cancelButton()->setTextColor(m_color);
    cancelButton()->setBackgroundColor(ColorHelpers::withAlpha(m_color, 0.1));
    cancelButton()->setActiveBackgroundColor(m_color);
    successView()->setColor(m_color);
    // The spinner turns for ever; it is only hidden while the view is not indeterminate.
    if (!indeterminateCircle()->animationForKey(rotateKey))
        indeterminateCircle()->addAnimation(*AnimationHelpers::spinnerRotation(), rotateKey);
}

void CircularProgress::updateTrackingAreas()
{
    if (m_trackingArea)
        m_trackingArea->uninstall();
    // Only a ring that can be cancelled has anything to do with the keyboard.
    setFocusPolicy(isCancellable() ? Qt::TabFocus : Qt::NoFocus);
    if (!isCancellable())
        return;
    QPointer<CircularProgress> self(this);
    m_trackingArea = std::make_unique<platform::HoverArea>(
        QRectF(cancelButton()->geometry()),
        platform::HoverArea::MouseEnteredAndExited | platform::HoverArea::ActiveInActiveApp,
        [self](QEvent *event) {
            if (self)
                self->mouseEntered(event);
        },
        [self](QEvent *event) {
            if (self)
                self->mouseExited(event);
        });
    m_trackingArea->install(this);
}

void CircularProgress::mouseEntered(QEvent *)
{
    if (ViewHelpers::isWindowBlocked(window()))
        return;
    if (isCancellable() && !isCancelled() && !isFinished()) {
        progressLabel()->setHidden(true);
        ViewHelpers::fadeIn(cancelButton());
        successView()->setHidden(!(m_showCheckmarkAtHundredPercent && isFinished() && !isCancelled()));
    }
    // Otherwise the plain view's handling applies, which does nothing with the pointer entering.
}

void CircularProgress::mouseExited(QEvent *)
{
    progressLabel()->setHidden(isIndeterminate() && m_progress == 0.0);
    cancelButton()->setHidden(true);
    successView()->setHidden(!(m_showCheckmarkAtHundredPercent && isFinished() && !isCancelled()));
}

void CircularProgress::resetProgress()
{
    ensureSetUp();
    m_host->setAlphaValue(1.0);
    m_color = m_originalColor;
    m_progress = 0.0;
    m_isFinished = false;
    m_isCancelled = false;
    clearIndeterminate();
    progressCircle()->resetProgress();
    progressLabel()->setString(QStringLiteral("0%"));
    successView()->setHidden(true);
    m_host->setNeedsDisplay();
}
