#include "Common/CircularProgress/CircularProgress.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

CircularProgress::CircularProgress(const QRect &frame, QWidget *parent) : CircularProgress(parent)
{
    setGeometry(frame);
    setUp();
}

CircularProgress::CircularProgress(const QSize &size, QWidget *parent)
    : CircularProgress(QRect(QPoint(0, 0), size), parent)
{}

CircularProgress::CircularProgress(QWidget *parent)
    : QWidget(parent), m_originalColor(ColorHelpers::sharedDefaultColor()), m_color(m_originalColor),
      m_colorTransition(AnimationHelpers::colorTransition(this, m_color))
{}

bool CircularProgress::event(QEvent *event)
{
    switch (event->type()) {
    // A view hidden until needed (the window's ring) is built when first shown or used.
    case QEvent::Show:
        setUp();
        updateTrackingAreas();
        m_indeterminateCircle->setOnScreen(true);
        break;
    case QEvent::Hide:
        if (m_radius)
            m_indeterminateCircle->setOnScreen(false);
        break;
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        hover(static_cast<QSinglePointEvent *>(event)->position(), event);
        break;
    case QEvent::Leave:
        if (std::exchange(m_pointerInside, false))
            mouseExited(event);
        break;
    // From the keyboard the ring stands for its cancel button: focus shows it as the pointer would, and
    // Return, Enter or Space press it.
    case QEvent::FocusIn:
        mouseEntered(event);
        break;
    case QEvent::FocusOut:
        mouseExited(event);
        break;
    case QEvent::KeyPress:
        if (const int key = static_cast<QKeyEvent *>(event)->key();
            (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && canCancel()) {
            cancelButton()->click();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

CircularProgress &CircularProgress::setUp()
{
    if (m_radius)
        return *this;
    const double side = std::min(width(), height());
    m_radius = side / 2.0 * 0.8;
    const QPointF c = QRectF(rect()).center();
    // Painted back to front: the track, the spinner, the ring and the label; then the checkmark and the
    // cancel button, views inside this one, the button on top.
    m_indeterminateCircle.emplace(*m_radius, c, this);
    m_indeterminateCircle->setLineWidth(m_lineWidth);
    m_indeterminateCircle->setHidden(!isIndeterminate());
    m_indeterminateCircle->setOnScreen(isVisible());
    m_progressCircle.emplace(*m_radius, c, this);
    m_progressCircle->setLineWidth(m_lineWidth);
    m_progressCircle->setHidden(isIndeterminate());
    // As wide as the view, a line high, centred; hidden until the first progress set.
    m_progressLabel.emplace();
    m_progressLabel->setString(QStringLiteral("0%"));
    m_progressLabel->setFont(ViewHelpers::labelFont(), 0.2 * side);
    const double lineHeight = std::ceil(m_progressLabel->preferredSize().height());
    m_progressLabel->setFrame(QRectF(0, (height() - lineHeight) / 2.0, width(), lineHeight));
    m_progressLabel->setHidden(true);
    m_successView = new CheckmarkView(rect(), this);
    m_successView->setLineWidth(m_lineWidth);
    m_successView->setHidden(true);
    m_cancelButton = CustomButton::circularButton(QStringLiteral("\u2573"), *m_radius, c, this);
    m_cancelButton->setBorderWidth(0);
    m_cancelButton->setHidden(true);
    // From the keyboard the ring itself stands for the button, which only shows while the ring has focus.
    m_cancelButton->setFocusPolicy(Qt::NoFocus);
    // Its title is a drawn cross, which says nothing to a screen reader.
    m_cancelButton->setAccessibleName(tr("取消"));
    m_cancelButton->setAccessibleDescription(tr("停止正在进行的任务"));
    // The closure lives in the button, inside this view.
    ActionClosure::set(m_cancelButton, [this](QWidget *) { cancelProgress(); });
    updateLayer();
    return *this;
}

void CircularProgress::setLabelHidden(bool hidden)
{
    m_progressLabel->setHidden(hidden);
    update();
}

void CircularProgress::setColor(const QColor &color)
{
    m_color = color;
    m_originalColor = color;
    setNeedsDisplay();
}

void CircularProgress::setLineWidth(double width)
{
    setUp();
    m_lineWidth = width;
    m_progressCircle->setLineWidth(width);
    m_indeterminateCircle->setLineWidth(width);
    m_successView->setLineWidth(width);
}

void CircularProgress::setProgress(double value)
{
    setUp();
    m_progress = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    emit progressChanged(m_progress);
    QAccessibleValueChangeEvent changed(this, int(m_progress * 100.0));
    QAccessible::updateAccessibility(&changed);
    // The ring moves after this call has returned, from the value shown to the value stored by then.
    QMetaObject::invokeMethod(
        this, [this] { m_progressCircle->setProgress(m_progress, 500, AnimationHelpers::easeOutTiming()); },
        Qt::QueuedConnection);
    const bool buttonHidden = !m_cancelButton->isVisibleTo(this);
    setLabelHidden(m_progress == 0.0 && isIndeterminate() ? buttonHidden : !buttonHidden);
    if (!m_progressLabel->isHidden()) {
        m_progressLabel->setString(QString::number(qint64(m_progress * 100.0)) + QLatin1Char('%'));
        m_successView->setHidden(true);
    }
    if (m_progress == 1.0)
        setIsFinished(true);
}

void CircularProgress::setIsFinished(bool finished)
{
    setUp();
    m_isFinished = finished;
    if (!finished)
        return;
    setIsIndeterminate(false);
    if (isCancelled() || !m_showCheckmarkAtHundredPercent)
        return;
    m_progressLabel->setString(QString());
    m_cancelButton->setHidden(true);
    m_successView->setHidden(false);
    update();
}

void CircularProgress::setIsCancellable(bool cancellable)
{
    setUp();
    m_isCancellable = cancellable;
    updateTrackingAreas();
}

void CircularProgress::setIsCancelled(bool cancelled)
{
    setUp();
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
    setIsIndeterminate(false);
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
    setUp();
    m_isIndeterminate = indeterminate;
    emit isIndeterminateChanged(indeterminate);
    m_progressCircle->setHidden(indeterminate);
    m_indeterminateCircle->setHidden(!indeterminate);
    const bool buttonHidden = !m_cancelButton->isVisibleTo(this);
    setLabelHidden(indeterminate ? m_progress == 0.0 && isIndeterminate() && buttonHidden : !buttonHidden);
}

void CircularProgress::setProgressInstance(std::shared_ptr<platform::Progress> progress)
{
    setUp();
    m_progressInstance = progress;
    // Detached, the view keeps following the earlier object; another object replaces it.
    if (!progress)
        return;
    if (const auto observed = m_observed.lock())
        observed->disconnect(this);
    m_observed = progress;
    // Changes may come from any thread; each is re-queued on the main thread, which then reads the object
    // if it still exists.
    const std::weak_ptr<platform::Progress> weak = progress;
    using P = platform::Progress;
    auto follow = [this, weak, object = progress.get()](auto signal, void (*work)(CircularProgress &, P &)) {
        connect(
            object, signal, this,
            [this, weak, work] {
                if (const auto object = weak.lock())
                    work(*this, *object);
            },
            Qt::QueuedConnection);
    };
    follow(&P::fractionCompletedChanged, [](CircularProgress &view, P &object) {
        if (!view.isCancelled() && !object.isFinished())
            view.setProgress(object.fractionCompleted());
    });
    follow(&P::finishedChanged, [](CircularProgress &view, P &object) {
        if (!view.isCancelled() && object.isFinished())
            view.setProgress(1.0);
    });
    follow(&P::cancelledChanged,
           [](CircularProgress &view, P &object) { view.setIsCancelled(object.isCancelled()); });
    follow(&P::indeterminateChanged,
           [](CircularProgress &view, P &object) { view.setIsIndeterminate(object.isIndeterminate()); });
    m_isCancellable = progress->isCancellable();
    updateTrackingAreas();
    setIsIndeterminate(progress->isIndeterminate());
}

void CircularProgress::setNeedsDisplay()
{
    // Once per pass of the event loop, or right before the next paint, whichever comes first.
    if (!std::exchange(m_displayPending, true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (std::exchange(m_displayPending, false))
                    updateLayer();
            },
            Qt::QueuedConnection);
    update();
}

void CircularProgress::updateLayer()
{
    // The track, ring, spinner and label share the colour (the track at half its alpha), so one transition
    // moves them all.
    AnimationHelpers::animateColor(*m_colorTransition, m_color, 0.2);
    m_cancelButton->setTextColor(m_color);
    m_cancelButton->setBackgroundColor(ColorHelpers::withAlpha(m_color, 0.1));
    m_cancelButton->setActiveBackgroundColor(m_color);
    m_successView->setColor(m_color);
    // The spinner turns for ever; it only waits while it cannot be seen.
    m_indeterminateCircle->addRotation();
}

void CircularProgress::updateTrackingAreas()
{
    m_pointerInside = false;
    // Only a ring that can be cancelled has anything to do with the pointer or the keyboard.
    setFocusPolicy(isCancellable() ? Qt::TabFocus : Qt::NoFocus);
    setMouseTracking(isCancellable());
    m_trackingArea = isCancellable() ? std::optional<QRectF>(m_cancelButton->geometry()) : std::nullopt;
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
    setUp();
    // A modal window, or a sheet on this one (Qt counts it among the modal windows), blocks the hover.
    if (QApplication::activeModalWidget() || !canCancel())
        return;
    setLabelHidden(true);
    ViewHelpers::fadeIn(m_cancelButton);
    // Not finished, so no checkmark.
    m_successView->setHidden(true);
}

void CircularProgress::mouseExited(QEvent *)
{
    setUp();
    setLabelHidden(isIndeterminate() && m_progress == 0.0);
    ViewHelpers::cancelFadeIn(m_cancelButton);
    m_cancelButton->setHidden(true);
    m_successView->setHidden(!(m_showCheckmarkAtHundredPercent && isFinished() && !isCancelled()));
}

void CircularProgress::resetProgress()
{
    setUp();
    setAlphaValue(1.0);
    m_color = m_originalColor;
    m_progress = 0.0;
    m_isFinished = false;
    m_isCancelled = false;
    setIsIndeterminate(false);
    m_progressCircle->resetProgress();
    m_progressLabel->setString(QStringLiteral("0%"));
    m_successView->setHidden(true);
    setNeedsDisplay();
}

void CircularProgress::setAlphaValue(double alpha)
{
    m_alphaValue = alpha;
    update();
}

void CircularProgress::paintEvent(QPaintEvent *)
{
    setUp();
    if (std::exchange(m_displayPending, false))
        updateLayer();
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
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
    const QPointF c = QRectF(rect()).center();
    auto draw = [&](QPainter &onto) {
        onto.strokePath(GeometryHelpers::arc(c, *m_radius, 0.0, 360.0),
                        QPen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin));
    };
    // The large translucent stroke costs most of a frame and does not move, so it is kept as an image at
    // the device's density and copied pixel for pixel where the device's pixels line up with whole points;
    // elsewhere it is drawn afresh.
    const QTransform device = painter.deviceTransform();
    const double scale = device.m11();
    const bool aligned = device.type() <= QTransform::TxScale && scale >= 1.0 && scale == device.m22() &&
                         scale == std::round(scale) && device.dx() == std::round(device.dx()) &&
                         device.dy() == std::round(device.dy());
    if (!aligned)
        return draw(painter);
    const double r = *m_radius;
    const QRect area =
        QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r).adjusted(-width, -width, width, width).toAlignedRect();
    if (m_track.isNull() || m_trackKey != std::make_tuple(color, width, scale)) {
        m_trackKey = {color, width, scale};
        m_track = QImage(area.size() * scale, QImage::Format_ARGB32_Premultiplied);
        m_track.setDevicePixelRatio(scale);
        m_track.fill(Qt::transparent);
        QPainter onto(&m_track);
        onto.setRenderHints(painter.renderHints());
        onto.translate(-area.topLeft());
        draw(onto);
    }
    // Whole pixels onto whole pixels: smoothing would only send the copy down a much slower path.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(area.topLeft(), m_track);
    painter.restore();
}
