#include "Common/CircularProgress/CircularProgress.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/CircularProgressAccessible.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"
#include "Platform/Runtime/Dispatch.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

CircularProgress::CircularProgress(const QRect &frame, QWidget *parent) : CircularProgress(parent)
{
    setGeometry(frame);
    ensureSetUp();
}

CircularProgress::CircularProgress(const QSize &size, QWidget *parent)
    : CircularProgress(QRect(QPoint(0, 0), size), parent)
{}

CircularProgress::CircularProgress(QWidget *parent)
    : QWidget(parent), m_originalColor(ColorHelpers::sharedDefaultColor()),
      m_color(ColorHelpers::sharedDefaultColor()),
      m_colorTransition(AnimationHelpers::colorTransition(this, m_color))
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
        indeterminateCircle()->setOnScreen(true);
        break;
    case QEvent::Hide:
        if (m_setUp)
            indeterminateCircle()->setOnScreen(false);
        break;
    case QEvent::Resize:
        if (m_setUp)
            updateTrackingAreas();
        break;
    case QEvent::Enter:
        hover(static_cast<QEnterEvent *>(event)->position(), event);
        break;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        hover(static_cast<QMouseEvent *>(event)->position(), event);
        break;
    case QEvent::Leave:
        if (m_pointerInside) {
            m_pointerInside = false;
            mouseExited(event);
        }
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
    if (m_setUp || m_settingUp)
        return;
    m_settingUp = true;
    // Painted back to front: the track, the spinner, the ring and the label; then the checkmark and the
    // cancel button, views inside this one, the cancel button on top.
    indeterminateCircle()->setHidden(!isIndeterminate());
    progressCircle()->setHidden(isIndeterminate());
    progressLabel();
    successView();
    cancelButton();
    indeterminateCircle()->setOnScreen(isVisible());
    m_settingUp = false;
    m_setUp = true;
    setNeedsDisplay();
}

// The parts are built from the size the view has when each is first used, and kept.
double CircularProgress::radius()
{
    if (!m_radius)
        m_radius = (height() > width() ? width() : height()) / 2.0 * 0.8;
    return *m_radius;
}

ProgressCircleShapeLayer *CircularProgress::progressCircle()
{
    if (!m_progressCircle) {
        m_progressCircle.emplace(radius(), GeometryHelpers::center(QRectF(rect())), this);
        m_progressCircle->setLineWidth(m_lineWidth);
    }
    return &*m_progressCircle;
}

IndeterminateProgressCircleShapeLayer *CircularProgress::indeterminateCircle()
{
    if (!m_indeterminateCircle) {
        m_indeterminateCircle.emplace(radius(), GeometryHelpers::center(QRectF(rect())), this);
        m_indeterminateCircle->setLineWidth(m_lineWidth);
    }
    return &*m_indeterminateCircle;
}

const TextImage *CircularProgress::progressLabel()
{
    if (!m_progressLabel) {
        m_progressLabel.emplace();
        m_progressLabel->setString(QStringLiteral("0%"));
        m_progressLabel->setFont(ViewHelpers::labelFont(), 0.2 * std::min(width(), height()));
        // As wide as the view, as high as a line, centred.
        const double lineHeight = std::ceil(m_progressLabel->preferredSize().height());
        m_progressLabel->setFrame(QRectF(0, (height() - lineHeight) / 2.0, width(), lineHeight));
        m_progressLabel->setHidden(true);
    }
    return &*m_progressLabel;
}

CustomButton *CircularProgress::cancelButton()
{
    if (!m_cancelButton) {
        m_cancelButton = CustomButton::circularButton(QStringLiteral("\u2573"), radius(),
                                                      GeometryHelpers::center(QRectF(rect())), this);
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
        m_successView = new CheckmarkView(rect(), this);
        m_successView->setColor(m_color);
        m_successView->setLineWidth(m_lineWidth);
        m_successView->setHidden(true);
    }
    return m_successView;
}

bool CircularProgress::cancelButtonHidden()
{
    return ViewHelpers::isViewHidden(cancelButton());
}

void CircularProgress::setLabel(std::optional<bool> hidden, std::optional<QString> text)
{
    progressLabel();
    if (hidden)
        m_progressLabel->setHidden(*hidden);
    if (text)
        m_progressLabel->setString(*text);
    update();
}

QColor CircularProgress::shownColor() const
{
    return AnimationHelpers::shownColor(*m_colorTransition);
}

void CircularProgress::setColor(const QColor &color)
{
    m_color = color;
    m_originalColor = color;
    setNeedsDisplay();
}

void CircularProgress::setLineWidth(double width)
{
    ensureSetUp();
    m_lineWidth = width;
    progressCircle()->setLineWidth(width);
    indeterminateCircle()->setLineWidth(width);
    successView()->setLineWidth(width);
}

void CircularProgress::setProgress(double value)
{
    ensureSetUp();
    m_progress = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    emit progressChanged(m_progress);
    QAccessibleValueChangeEvent changed(this, static_cast<int>(m_progress * 100.0));
    QAccessible::updateAccessibility(&changed);

    // The ring moves after this call has returned, from the value shown to the value stored by then.
    if (!m_ringUpdateQueued) {
        m_ringUpdateQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_ringUpdateQueued = false;
                progressCircle()->setProgress(m_progress, 500, AnimationHelpers::easeOutTiming());
            },
            Qt::QueuedConnection);
    }

    const bool buttonHidden = cancelButtonHidden();
    setLabel(m_progress == 0.0 && isIndeterminate() ? buttonHidden : !buttonHidden);
    if (!progressLabel()->isHidden()) {
        setLabel({}, QString::number(static_cast<long long>(m_progress * 100.0)) + QLatin1Char('%'));
        successView()->setHidden(true);
    }
    if (m_progress == 1.0)
        setIsFinished(true);
}

void CircularProgress::setIsFinished(bool finished)
{
    ensureSetUp();
    m_isFinished = finished;
    if (!finished)
        return;
    clearIndeterminate();
    if (isCancelled() || !m_showCheckmarkAtHundredPercent)
        return;
    setLabel({}, QString());
    cancelButton()->setHidden(true);
    successView()->setHidden(false);
}

void CircularProgress::setIsCancellable(bool cancellable)
{
    ensureSetUp();
    m_isCancellable = cancellable;
    updateTrackingAreas();
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
            setAlphaValue(0.7);
        }
        setNeedsDisplay();
    }
    clearIndeterminate();
}

void CircularProgress::cancelProgress()
{
    if (!isCancellable())
        return;
    // With a progress object the view follows the object's own cancellation, through the main queue.
    if (m_progressInstance)
        m_progressInstance->cancel();
    else
        setIsCancelled(true);
}

void CircularProgress::setIsIndeterminate(bool indeterminate)
{
    ensureSetUp();
    m_isIndeterminate = indeterminate;
    emit isIndeterminateChanged(indeterminate);
    progressCircle()->setHidden(m_isIndeterminate);
    indeterminateCircle()->setHidden(!m_isIndeterminate);
    if (m_isIndeterminate)
        setLabel(m_progress == 0.0 && isIndeterminate() && cancelButtonHidden());
    else
        setLabel(!cancelButtonHidden());
}

void CircularProgress::clearIndeterminate()
{
    setIsIndeterminate(false);
}

void CircularProgress::setProgressInstance(std::shared_ptr<platform::Progress> progress)
{
    ensureSetUp();
    if (m_progressInstance)
        m_progressInstance->disconnect(this);
    m_progressInstance = progress;
    if (!progress)
        return;
    // Changes may come from any thread; each is re-queued on the main thread, which then reads the object
    // if it still exists.
    const std::weak_ptr<platform::Progress> weak = progress;
    auto follow = [this, weak](auto signal, void (*work)(CircularProgress &, platform::Progress &)) {
        connect(
            weak.lock().get(), signal, this,
            [this, weak, work] {
                if (const auto object = weak.lock())
                    work(*this, *object);
            },
            Qt::QueuedConnection);
    };
    follow(&platform::Progress::fractionCompletedChanged,
           [](CircularProgress &view, platform::Progress &object) {
               if (!view.isCancelled() && !object.isFinished())
                   view.setProgress(object.fractionCompleted());
           });
    follow(&platform::Progress::finishedChanged, [](CircularProgress &view, platform::Progress &object) {
        if (!view.isCancelled() && object.isFinished())
            view.setProgress(1.0);
    });
    follow(&platform::Progress::cancelledChanged, [](CircularProgress &view, platform::Progress &object) {
        view.setIsCancelled(object.isCancelled());
    });
    follow(&platform::Progress::indeterminateChanged, [](CircularProgress &view, platform::Progress &object) {
        view.setIsIndeterminate(object.isIndeterminate());
    });
    m_isCancellable = progress->isCancellable();
    updateTrackingAreas();
    setIsIndeterminate(progress->isIndeterminate());
}

void CircularProgress::setNeedsDisplay()
{
    // Once per pass of the event loop, or right before the next paint, whichever comes first.
    if (!m_displayPending) {
        m_displayPending = true;
        QMetaObject::invokeMethod(this, &CircularProgress::displayIfNeeded, Qt::QueuedConnection);
    }
    update();
}

void CircularProgress::displayIfNeeded()
{
    if (m_displayPending) {
        m_displayPending = false;
        updateLayer();
    }
}

void CircularProgress::updateLayer()
{
    // The track, ring, spinner and label share the colour (the track at half its alpha), so one transition
    // moves them all.
    AnimationHelpers::animateColor(*m_colorTransition, m_color, 0.2);
    cancelButton()->setTextColor(m_color);
    cancelButton()->setBackgroundColor(ColorHelpers::withAlpha(m_color, 0.1));
    cancelButton()->setActiveBackgroundColor(m_color);
    successView()->setColor(m_color);
    // The spinner turns for ever; it only waits while the view is not indeterminate or not on screen.
    indeterminateCircle()->addRotation();
}

void CircularProgress::updateTrackingAreas()
{
    m_pointerInside = false;
    // Only a ring that can be cancelled has anything to do with the pointer or the keyboard.
    setFocusPolicy(isCancellable() ? Qt::TabFocus : Qt::NoFocus);
    setMouseTracking(isCancellable());
    m_trackingArea = isCancellable() ? std::optional<QRectF>(cancelButton()->geometry()) : std::nullopt;
}

void CircularProgress::hover(const QPointF &position, QEvent *event)
{
    if (!m_trackingArea || m_trackingArea->contains(position) == m_pointerInside)
        return;
    m_pointerInside = !m_pointerInside;
    // An application in the background sees no hover changes.
    const Qt::ApplicationState state = QGuiApplication::applicationState();
    if (state == Qt::ApplicationSuspended || state == Qt::ApplicationHidden)
        return;
    if (m_pointerInside)
        mouseEntered(event);
    else
        mouseExited(event);
}

void CircularProgress::mouseEntered(QEvent *)
{
    if (ViewHelpers::isWindowBlocked(window()) || !isCancellable() || isCancelled() || isFinished())
        return;
    setLabel(true);
    ViewHelpers::fadeIn(cancelButton());
    successView()->setHidden(!(m_showCheckmarkAtHundredPercent && isFinished() && !isCancelled()));
}

void CircularProgress::mouseExited(QEvent *)
{
    setLabel(isIndeterminate() && m_progress == 0.0);
    ViewHelpers::cancelFadeIn(cancelButton());
    cancelButton()->setHidden(true);
    successView()->setHidden(!(m_showCheckmarkAtHundredPercent && isFinished() && !isCancelled()));
}

void CircularProgress::resetProgress()
{
    ensureSetUp();
    setAlphaValue(1.0);
    m_color = m_originalColor;
    m_progress = 0.0;
    m_isFinished = false;
    m_isCancelled = false;
    clearIndeterminate();
    progressCircle()->resetProgress();
    setLabel({}, QStringLiteral("0%"));
    successView()->setHidden(true);
    setNeedsDisplay();
}

void CircularProgress::setAlphaValue(double alpha)
{
    m_alphaValue = alpha;
    update();
}

void CircularProgress::paintEvent(QPaintEvent *)
{
    if (!m_setUp)
        return;
    displayIfNeeded();
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.setOpacity(ViewHelpers::opacity(this));
    const QColor color = shownColor();
    paintTrack(painter, ColorHelpers::withAlpha(color, 0.5));
    m_indeterminateCircle->paint(painter, color);
    m_progressCircle->paint(painter, color);
    m_progressLabel->paint(painter, color);
}

void CircularProgress::paintTrack(QPainter &painter, const QColor &color)
{
    const double width = m_lineWidth * 0.5;
    if (!color.isValid() || color.alpha() == 0 || width <= 0)
        return;
    const QPointF c = GeometryHelpers::center(QRectF(rect()));
    const QRectF circle(c.x() - radius(), c.y() - radius(), 2 * radius(), 2 * radius());
    auto draw = [&](QPainter &onto) {
        QPainterPath path;
        path.arcMoveTo(circle, 0.0);
        path.arcTo(circle, 0.0, 360.0);
        onto.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin));
        onto.setBrush(Qt::NoBrush);
        onto.drawPath(path);
    };
    // The large translucent stroke costs most of a frame and does not move, so it is kept as an image at
    // the device's density and copied pixel for pixel, where the device's pixels line up with whole points;
    // elsewhere it is drawn afresh.
    const QTransform device = painter.deviceTransform();
    const double scale = device.m11();
    const bool aligned = device.type() <= QTransform::TxScale && scale >= 1.0 && scale == device.m22() &&
                         scale == std::round(scale) && device.dx() == std::round(device.dx()) &&
                         device.dy() == std::round(device.dy());
    if (!aligned)
        return draw(painter);
    const QRect area = circle.adjusted(-width, -width, width, width).toAlignedRect();
    if (m_track.image.isNull() || m_track.color != color || m_track.width != width ||
        m_track.scale != scale) {
        m_track = {QImage(area.size() * scale, QImage::Format_ARGB32_Premultiplied), color, width, scale};
        m_track.image.setDevicePixelRatio(scale);
        m_track.image.fill(Qt::transparent);
        QPainter onto(&m_track.image);
        onto.setRenderHints(painter.renderHints());
        onto.translate(-area.topLeft());
        draw(onto);
    }
    // Whole pixels onto whole pixels: smoothing would only send the copy down a much slower path.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(area.topLeft(), m_track.image);
    painter.restore();
}
