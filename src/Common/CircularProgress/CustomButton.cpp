#include "Common/CircularProgress/CustomButton.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>

namespace {

QColor controlShadowColor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Shadow);
    return QColor(0, 0, 0, 128);
}

QPainterPath roundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    const double r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2.0);
    if (r > 0)
        path.addRoundedRect(rect, r, r);
    else
        path.addRect(rect);
    return path;
}

} // namespace

CustomButton::CustomButton(QWidget *parent) : CustomButton(QRect(), parent) {}

CustomButton::CustomButton(const QRect &frame, QWidget *parent)
    : QAbstractButton(parent), m_textColor(Qt::white), m_activeTextColor(Qt::white),
      m_borderColor(ColorHelpers::sharedDefaultColor()),
      m_activeBorderColor(ColorHelpers::sharedDefaultColor()),
      m_backgroundColor(ColorHelpers::sharedDefaultColor()),
      m_activeBackgroundColor(ColorHelpers::sharedDefaultColor()), m_shadowColor(controlShadowColor())
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
    button->setFont(ViewHelpers::systemFont(2.0 * radius / 3.0));
    return button;
}

void CustomButton::setup()
{
    // Every click, by mouse, keyboard or click(), ends in the clicked signal, which sends the action.
    connect(this, &QAbstractButton::clicked, this, &CustomButton::sendAction, Qt::UniqueConnection);
    // A new button shows its resting colours at once.
    m_transitions[Paint::Background] =
        AnimationHelpers::colorTransition(this, colorFor(ColorProperty::BackgroundColor));
    m_transitions[Paint::Title] = AnimationHelpers::colorTransition(this, colorFor(ColorProperty::TextColor));
    m_transitions[Paint::Border] =
        AnimationHelpers::colorTransition(this, colorFor(ColorProperty::BorderColor));
    m_transitions[Paint::Shadow] =
        AnimationHelpers::colorTransition(this, colorFor(ColorProperty::ShadowColor));
    connect(transition(Paint::Shadow), &QVariantAnimation::valueChanged, this, &CustomButton::updateShadow);
    m_titleLayer.setString(title());
    applyFontToTitle();
    positionTitle();
    updateLayer();
}

QVariantAnimation *CustomButton::transition(Paint paint) const
{
    return m_transitions.at(paint);
}

void CustomButton::applyFontToTitle()
{
    // Point sizes are the platform's screen units: a 10-point title is 10 pixels high at 1×.
    const QFont f = font();
    m_titleLayer.setFont(f, f.pointSizeF() > 0 ? f.pointSizeF() : double(f.pixelSize()));
}

void CustomButton::setTitle(const QString &title)
{
    setText(title);
    m_titleLayer.setString(title);
    applyFontToTitle();
    positionTitle();
    update();
}

void CustomButton::positionTitle()
{
    const QSizeF size = m_titleLayer.preferredSize();
    const QRectF centred = GeometryHelpers::centeredRect(QRectF(rect()), size);
    // Snapped to whole points at its lower left corner, where the platform's views have their origin.
    const QPointF corner = GeometryHelpers::rounded(QPointF(centred.x(), centred.y()));
    m_titleLayer.setFrame(QRectF(QPointF(corner.x(), height() - corner.y() - size.height()), size));
    update();
}

void CustomButton::setState(int state)
{
    m_state = state;
    updateShadow();
    update();
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

QColor CustomButton::shownColor(Paint paint) const
{
    return AnimationHelpers::shownColor(*transition(paint));
}

double CustomButton::shownShadowRadius() const
{
    return isActive() && m_activeShadowRadius != -1.0 ? m_activeShadowRadius : m_shadowRadius;
}

double CustomButton::shownShadowOpacity() const
{
    return isActive() && m_activeShadowOpacity != -1.0 ? m_activeShadowOpacity : m_shadowOpacity;
}

void CustomButton::updateLayer()
{
    updateShadow();
    animateColor();
    update();
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
    AnimationHelpers::animateColor(*transition(Paint::Background), background, duration);
    AnimationHelpers::animateColor(*transition(Paint::Title), text, duration);
    AnimationHelpers::animateColor(*transition(Paint::Border), border, duration);
    AnimationHelpers::animateColor(*transition(Paint::Shadow), shadow, duration);
}

// The shadow falls outside the button's rectangle, where only a graphics effect may draw. It exists only
// while the shadow shows.
void CustomButton::updateShadow()
{
    QColor color = shownColor(Paint::Shadow);
    const double opacity = std::min(1.0, shownShadowOpacity());
    auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(graphicsEffect());
    if (!(opacity > 0.0) || !color.isValid() || color.alpha() == 0) {
        if (shadow)
            setGraphicsEffect(nullptr);
        return;
    }
    if (!shadow) {
        // A fade-in owns the effect for now; the next update after it brings the shadow.
        if (graphicsEffect())
            return;
        shadow = new QGraphicsDropShadowEffect;
        setGraphicsEffect(shadow);
    }
    color.setAlphaF(float(color.alphaF() * opacity));
    shadow->setColor(color);
    shadow->setBlurRadius(std::max(0.0, 2.0 * shownShadowRadius()));
    shadow->setOffset(0, 3);
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
    updateLayer();
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
    update();
}

void CustomButton::setBorderWidth(double width)
{
    m_borderWidth = width;
    update();
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
    setState(m_state == OffState ? OnState : OffState);
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

void CustomButton::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        // A disabled button is not hit: clicks reach whatever lies behind it.
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
        update();
        break;
    case QEvent::FontChange:
        applyFontToTitle();
        positionTitle();
        break;
    default:
        break;
    }
    QAbstractButton::changeEvent(event);
}

void CustomButton::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    positionTitle();
}

void CustomButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.setOpacity(ViewHelpers::opacity(this));
    const QRectF bounds(rect());
    const QColor background = shownColor(Paint::Background);
    if (background.isValid() && background.alpha() > 0)
        painter.fillPath(roundedRect(bounds, m_cornerRadius), background);
    m_titleLayer.paint(painter, shownColor(Paint::Title));
    const QColor border = shownColor(Paint::Border);
    if (m_borderWidth > 0 && border.isValid() && border.alpha() > 0) {
        const double half = m_borderWidth / 2.0;
        painter.setPen(QPen(border, m_borderWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            roundedRect(bounds.adjusted(half, half, -half, -half), std::max(0.0, m_cornerRadius - half)));
    }
}

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
    // While a button is held Qt reports no leaving; a move off the button is the pointer leaving it.
    if (m_isMouseDown && !rect().contains(event->position().toPoint()))
        mouseExited(event);
    // Moves without a press belong to the views behind.
    event->setAccepted(m_isMouseDown);
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

void CustomButton::enterEvent(QEnterEvent *event)
{
    mouseEntered(event);
}

void CustomButton::leaveEvent(QEvent *event)
{
    mouseExited(event);
}
