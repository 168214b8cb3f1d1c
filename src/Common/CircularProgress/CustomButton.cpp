#include "Common/CircularProgress/CustomButton.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/LayerHelpers.h"
#include "Platform/Layers/Transaction.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPalette>
#include <QWindow>

namespace {

QColor controlShadowColor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Shadow);
    return QColor(0, 0, 0, 128);
}

// Fonts of buttons are sized in points; the layer tree measures in points too.
double layerFontSize(const QFont &font)
{
    return font.pointSizeF() > 0 ? font.pointSizeF() : double(font.pixelSize());
}

} // namespace

CustomButton::CustomButton(QWidget *parent) : CustomButton(QRect(), parent) {}

CustomButton::CustomButton(const QRect &frame, QWidget *parent)
    : QPushButton(parent), m_textColor(Qt::white), m_activeTextColor(Qt::white),
      m_borderColor(ColorHelpers::sharedDefaultColor()),
      m_activeBorderColor(ColorHelpers::sharedDefaultColor()),
      m_backgroundColor(ColorHelpers::sharedDefaultColor()),
      m_activeBackgroundColor(ColorHelpers::sharedDefaultColor()), m_shadowColor(controlShadowColor()),
      m_host(new platform::LayerHost(this)), m_titleLayer(platform::TextLayer::create())
{
    if (!frame.isNull())
        setGeometry(frame);
    setup();
}

CustomButton::~CustomButton() = default;

CustomButton *CustomButton::circularButton(const QString &title, double radius, const QPointF &center,
                                           QWidget *parent)
{
    auto *button = new CustomButton(parent);
    button->setTitle(title);
    button->setGeometry(QRectF(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius).toRect());
    button->setCornerRadius(radius);
    button->setFont(LayerHelpers::systemFont(2.0 * radius / 3.0));
    return button;
}

void CustomButton::setup()
{
    m_host->setDisplayHandler([this] { updateLayer(); });
    // Every click, by mouse, keyboard or click(), ends in the clicked signal, which sends the action.
    connect(this, &QAbstractButton::clicked, this, &CustomButton::sendAction, Qt::UniqueConnection);
    m_titleLayer->setAlignmentMode(platform::TextLayer::Alignment::Center);
    updateContentsScale();
    m_host->layer()->addSublayer(m_titleLayer);
    m_titleLayer->setString(title());
    applyFontToTitle();
    setNeedsLayout();
    setNeedsDisplay();
}

void CustomButton::applyFontToTitle()
{
    m_titleLayer->setFont(font());
    m_titleLayer->setFontSize(layerFontSize(font()));
}

void CustomButton::updateContentsScale()
{
    const QWindow *window = this->window() ? this->window()->windowHandle() : nullptr;
    const double scale = window ? window->devicePixelRatio() : 2.0;
    m_titleLayer->setContentsScale(scale);
    m_host->layer()->setContentsScale(scale);
}

void CustomButton::setTitle(const QString &title)
{
    setText(title);
    m_titleLayer->setString(title);
    applyFontToTitle();
    setNeedsLayout();
}

void CustomButton::setNeedsLayout()
{
    if (m_layoutQueued)
        return;
    m_layoutQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_layoutQueued = false;
            positionTitle();
        },
        Qt::QueuedConnection);
}

void CustomButton::positionTitle()
{
    const QFontMetricsF metrics(m_titleLayer->renderFont());
    const QSizeF size(metrics.horizontalAdvance(title()), metrics.height());
    const QRectF bounds(0, 0, width(), height());
    const QPointF origin = GeometryHelpers::rounded(GeometryHelpers::centeredRect(bounds, size).topLeft());
    m_titleLayer->setFrame(QRectF(origin, size));
}

void CustomButton::updateLayer()
{
    const platform::LayerPtr &layer = m_host->layer();
    layer->setCornerRadius(m_cornerRadius);
    layer->setBorderWidth(m_borderWidth);
    platform::Transaction::begin();
    platform::Transaction::setDisableActions(true);
    const bool active = isActive();
    layer->setShadowRadius(active && m_activeShadowRadius != -1.0 ? m_activeShadowRadius : m_shadowRadius);
    layer->setShadowOpacity(active && m_activeShadowOpacity != -1.0 ? m_activeShadowOpacity
                                                                    : m_shadowOpacity);
    platform::Transaction::commit();
    animateColor();
}

QColor CustomButton::colorFor(ColorProperty property) const
{
    const auto generator = m_colorGenerators.find(property);
    if (generator != m_colorGenerators.end() && generator->second)
        return generator->second();
    switch (property) {
    case ColorProperty::TextColor:
        return m_textColor;
    case ColorProperty::ActiveTextColor:
        return m_activeTextColor;
    case ColorProperty::BorderColor:
        return m_borderColor;
    case ColorProperty::ActiveBorderColor:
        return m_activeBorderColor;
    case ColorProperty::BackgroundColor:
        return m_backgroundColor;
    case ColorProperty::ActiveBackgroundColor:
        return m_activeBackgroundColor;
    case ColorProperty::ShadowColor:
        return m_shadowColor;
    }
    return {};
}

void CustomButton::animateColor()
{
    const bool active = isActive();
    const QColor background =
        colorFor(active ? ColorProperty::ActiveBackgroundColor : ColorProperty::BackgroundColor);
    const QColor text = colorFor(active ? ColorProperty::ActiveTextColor : ColorProperty::TextColor);
    const QColor border = colorFor(active ? ColorProperty::ActiveBorderColor : ColorProperty::BorderColor);
    const QColor shadow =
        active && m_activeShadowColor ? *m_activeShadowColor : colorFor(ColorProperty::ShadowColor);
    const double duration = active ? 0.2 : 0.1;

    const platform::LayerPtr &layer = m_host->layer();
    AnimationHelpers::animateLayerColor(layer, background, QStringLiteral("backgroundColor"), duration);
    AnimationHelpers::animateLayerColor(layer, border, QStringLiteral("borderColor"), duration);
    AnimationHelpers::animateLayerColor(layer, shadow, QStringLiteral("shadowColor"), duration);
    AnimationHelpers::animateLayerColor(m_titleLayer, text, QStringLiteral("foregroundColor"), duration);
}

CustomButton::ColorGenerator CustomButton::colorGenerator(ColorProperty property) const
{
    const auto it = m_colorGenerators.find(property);
    return it == m_colorGenerators.end() ? ColorGenerator() : it->second;
}

void CustomButton::setColorGenerator(ColorProperty property, ColorGenerator generator)
{
    if (generator)
        m_colorGenerators[property] = std::move(generator);
    else
        m_colorGenerators.erase(property);
}

void CustomButton::colorsChanged()
{
    setNeedsDisplay();
    animateColor();
}

void CustomButton::setTextColor(const QColor &color)
{
    m_textColor = color;
    colorsChanged();
}

void CustomButton::setActiveTextColor(const QColor &color)
{
    m_activeTextColor = color;
    colorsChanged();
}

void CustomButton::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    setNeedsDisplay();
}

void CustomButton::setBorderWidth(double width)
{
    m_borderWidth = width;
    setNeedsDisplay();
}

void CustomButton::setBorderColor(const QColor &color)
{
    m_borderColor = color;
    colorsChanged();
}

void CustomButton::setActiveBorderColor(const QColor &color)
{
    m_activeBorderColor = color;
    colorsChanged();
}

void CustomButton::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    colorsChanged();
}

void CustomButton::setActiveBackgroundColor(const QColor &color)
{
    m_activeBackgroundColor = color;
    colorsChanged();
}

void CustomButton::setShadowRadius(double radius)
{
    m_shadowRadius = radius;
    colorsChanged();
}

void CustomButton::setActiveShadowRadius(double radius)
{
    m_activeShadowRadius = radius;
    colorsChanged();
}

void CustomButton::setShadowOpacity(double opacity)
{
    m_shadowOpacity = opacity;
    colorsChanged();
}

void CustomButton::setActiveShadowOpacity(double opacity)
{
    m_activeShadowOpacity = opacity;
    colorsChanged();
}

void CustomButton::setShadowColor(const QColor &color)
{
    m_shadowColor = color;
    colorsChanged();
}

void CustomButton::setActiveShadowColor(std::optional<QColor> color)
{
    m_activeShadowColor = color;
    colorsChanged();
}

void CustomButton::toggleState()
{
    m_state = m_state == OffState ? OnState : OffState;
}

void CustomButton::sendAction()
{
    if (!m_target || m_action.isEmpty())
        return;
    const QMetaObject *meta = m_target->metaObject();
    if (meta->indexOfMethod(QMetaObject::normalizedSignature(m_action + "(QObject*)").constData()) >= 0)
        QMetaObject::invokeMethod(m_target, m_action.constData(), Qt::DirectConnection,
                                  Q_ARG(QObject *, this));
    else if (meta->indexOfMethod(QMetaObject::normalizedSignature(m_action + "()").constData()) >= 0)
        QMetaObject::invokeMethod(m_target, m_action.constData(), Qt::DirectConnection);
}

void CustomButton::callClosure(QObject *sender)
{
    ActionClosure::call(this, sender);
}

void CustomButton::mouseDown(QMouseEvent *)
{
    m_isMouseDown = true;
    toggleState();
    animateColor();
}

void CustomButton::mouseUp(QMouseEvent *)
{
    if (!m_isMouseDown)
        return;
    m_isMouseDown = false;
    toggleState();
    animateColor();
    click();
}

void CustomButton::mouseEntered(QEvent *)
{
    if (!m_isMouseDown)
        return;
    toggleState();
    animateColor();
}

void CustomButton::mouseExited(QEvent *)
{
    if (!m_isMouseDown)
        return;
    toggleState();
    animateColor();
    m_isMouseDown = false;
}

void CustomButton::updateTrackingAreas()
{
    // The area is fixed at creation; a button that was resized since gets a new one, so a press on the
    // part outside the old bounds is not taken for leaving the button.
    if (m_trackingArea && m_trackingArea->rect() != QRectF(rect()))
        m_trackingArea.reset();
    if (!m_trackingArea) {
        m_trackingArea = std::make_unique<TrackingArea>(this, this, std::nullopt,
                                                        platform::HoverArea::MouseEnteredAndExited |
                                                            platform::HoverArea::ActiveInActiveApp);
    }
    m_trackingArea->update();
}

void CustomButton::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        m_host->setAlphaValue(isEnabled() ? 1.0 : 0.6);
        // A disabled button is not hit: clicks reach whatever lies behind it.
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
        break;
    case QEvent::FontChange:
        applyFontToTitle();
        setNeedsLayout();
        break;
    default:
        break;
    }
    QPushButton::changeEvent(event);
}

void CustomButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    positionTitle();
    updateTrackingAreas();
}

void CustomButton::showEvent(QShowEvent *event)
{
    QPushButton::showEvent(event);
    // The title stays sharp when the window moves to a screen of another density.
    QWindow *window = this->window() ? this->window()->windowHandle() : nullptr;
    if (window && window != m_watchedWindow) {
        if (m_watchedWindow)
            disconnect(m_watchedWindow, &QWindow::screenChanged, this, nullptr);
        m_watchedWindow = window;
        connect(window, &QWindow::screenChanged, this, [this] { updateContentsScale(); });
    }
    updateContentsScale();
    updateTrackingAreas();
}

void CustomButton::paintEvent(QPaintEvent *) {}

void CustomButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    mouseDown(event);
    event->accept();
}

void CustomButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

void CustomButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    mouseUp(event);
    event->accept();
}

void CustomButton::mouseMoveEvent(QMouseEvent *event)
{
    // Hover moves belong to the views behind; the hover area has already seen this one.
    if (m_isMouseDown)
        event->accept();
    else
        event->ignore();
}

void CustomButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Space && !event->isAutoRepeat() && !m_isMouseDown && !m_keyDown) {
        m_keyDown = true;
        toggleState();
        animateColor();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CustomButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_keyDown) {
        m_keyDown = false;
        toggleState();
        animateColor();
        click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CustomButton::enterEvent(QEnterEvent *) {}

void CustomButton::leaveEvent(QEvent *) {}
