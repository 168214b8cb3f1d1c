#include "Common/CircularProgress/CustomButton.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/GeometryHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QKeyEvent>
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
    using Property = ColorProperty;
    const std::pair<Paint, Property> resting[] = {{Paint::Background, Property::BackgroundColor},
                                                  {Paint::Title, Property::TextColor},
                                                  {Paint::Border, Property::BorderColor},
                                                  {Paint::Shadow, Property::ShadowColor}};
    for (const auto &[paint, property] : resting)
        m_transitions[paint] = AnimationHelpers::colorTransition(this, colorFor(property));
    connect(transition(Paint::Shadow), &QVariantAnimation::valueChanged, this, &CustomButton::updateShadow);
    setTitle(title());
    updateLayer();
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

QColor CustomButton::colorFor(ColorProperty property) const
{
    const auto generator = m_colorGenerators.find(property);
    if (generator != m_colorGenerators.end())
        return generator->second();
    static constexpr QColor CustomButton::*members[] = {
        &CustomButton::m_textColor,       &CustomButton::m_activeTextColor,
        &CustomButton::m_borderColor,     &CustomButton::m_activeBorderColor,
        &CustomButton::m_backgroundColor, &CustomButton::m_activeBackgroundColor,
        &CustomButton::m_shadowColor};
    return this->*members[int(property)];
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
    using Property = ColorProperty;
    const double duration = active ? 0.2 : 0.1;
    auto animate = [&](Paint paint, const QColor &color) {
        AnimationHelpers::animateColor(*transition(paint), color, duration);
    };
    animate(Paint::Background,
            colorFor(active ? Property::ActiveBackgroundColor : Property::BackgroundColor));
    animate(Paint::Title, colorFor(active ? Property::ActiveTextColor : Property::TextColor));
    animate(Paint::Border, colorFor(active ? Property::ActiveBorderColor : Property::BorderColor));
    // A set active shadow colour is used as it is, never through a generator.
    animate(Paint::Shadow,
            active && m_activeShadowColor ? *m_activeShadowColor : colorFor(Property::ShadowColor));
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

void CustomButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        // A disabled button is not hit: clicks reach whatever lies behind it.
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
        update();
    } else if (event->type() == QEvent::FontChange) {
        applyFontToTitle();
        positionTitle();
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

// The press is the button's own: down shows the active look, up over the button sends the action, and the
// pointer leaving abandons it for good.
void CustomButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    m_isMouseDown = true;
    toggleState();
}

void CustomButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

void CustomButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    if (!m_isMouseDown)
        return;
    m_isMouseDown = false;
    toggleState();
    click();
}

void CustomButton::mouseMoveEvent(QMouseEvent *event)
{
    // While a button is held Qt reports no leaving; a move off the button is the pointer leaving it.
    if (m_isMouseDown && !rect().contains(event->position().toPoint()))
        leaveEvent(event);
    // Moves without a press belong to the views behind.
    event->setAccepted(m_isMouseDown);
}

void CustomButton::enterEvent(QEnterEvent *)
{
    if (m_isMouseDown)
        toggleState();
}

void CustomButton::leaveEvent(QEvent *)
{
    if (!m_isMouseDown)
        return;
    m_isMouseDown = false;
    toggleState();
}

void CustomButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Space && !event->isAutoRepeat() && !m_isMouseDown && !m_keyDown) {
        m_keyDown = true;
        toggleState();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        click();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void CustomButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_keyDown)
        return QWidget::keyReleaseEvent(event);
    m_keyDown = false;
    toggleState();
    click();
}
