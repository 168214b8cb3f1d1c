#include "Common/CircularProgress/CustomButton.h"

#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/AnimationHelpers.h"
#include "Common/CircularProgress/ColorHelpers.h"
#include "Common/CircularProgress/ViewHelpers.h"

#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>
#include <utility>

namespace {

using Property = CustomButton::ColorProperty;
// Per painted part (in the order of CustomButton::Paint), its inactive and its active colour property.
constexpr std::pair<Property, Property> paintProperties[] = {
    {Property::BackgroundColor, Property::ActiveBackgroundColor},
    {Property::TextColor, Property::ActiveTextColor},
    {Property::BorderColor, Property::ActiveBorderColor},
    {Property::ShadowColor, Property::ShadowColor}};

QPainterPath roundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    const double r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2.0);
    path.addRoundedRect(rect, r, r);
    return path;
}

} // namespace

CustomButton::CustomButton(QWidget *parent) : CustomButton(QRect(), parent) {}

CustomButton::CustomButton(const QRect &frame, QWidget *parent)
    : QAbstractButton(parent), m_textColor(Qt::white), m_activeTextColor(Qt::white),
      m_borderColor(ColorHelpers::sharedDefaultColor()), m_activeBorderColor(m_borderColor),
      m_backgroundColor(m_borderColor), m_activeBackgroundColor(m_borderColor),
      m_shadowColor(QGuiApplication::palette().color(QPalette::Active, QPalette::Shadow))
{
    if (!frame.isNull())
        setGeometry(frame);
    setup();
}

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
    for (std::size_t paint = 0; paint < m_transitions.size(); ++paint)
        m_transitions[paint] =
            AnimationHelpers::colorTransition(this, colorFor(paintProperties[paint].first));
    connect(m_transitions[int(Paint::Shadow)], &QVariantAnimation::valueChanged, this,
            &CustomButton::updateShadow);
    updateTitle();
    updateLayer();
}

void CustomButton::setTitle(const QString &title)
{
    setText(title);
    updateTitle();
}

void CustomButton::updateTitle()
{
    m_titleLayer.setString(text());
    // Point sizes are the platform's screen units: a 10-point title is 10 pixels high at 1×.
    const QFont f = font();
    m_titleLayer.setFont(f, f.pointSizeF() > 0 ? f.pointSizeF() : double(f.pixelSize()));
    positionTitle();
}

void CustomButton::positionTitle()
{
    const QSizeF size = m_titleLayer.preferredSize();
    QRectF centred(QPointF(), size);
    centred.moveCenter(QRectF(rect()).center());
    // Its lower left corner on whole points (halves away from zero), where the platform's views have their
    // origin.
    const QPoint corner = centred.topLeft().toPoint();
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
    if (const auto generator = m_colorGenerators.find(property); generator != m_colorGenerators.end())
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
    return m_colorGenerators.contains(property) ? m_colorGenerators.at(property) : ColorGenerator();
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
    return m_transitions[int(paint)]->currentValue().value<QColor>();
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
    for (std::size_t paint = 0; paint < m_transitions.size(); ++paint) {
        const auto [inactiveProperty, activeProperty] = paintProperties[paint];
        // A set active shadow colour is used as it is, never through a generator.
        const QColor color = active && Paint(paint) == Paint::Shadow && m_activeShadowColor
                                 ? *m_activeShadowColor
                                 : colorFor(active ? activeProperty : inactiveProperty);
        AnimationHelpers::animateColor(*m_transitions[paint], color, active ? 0.2 : 0.1);
    }
}

// The shadow falls outside the button's rectangle, where only a graphics effect may draw. It exists only
// while a shadow shows.
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
        setGraphicsEffect(shadow = new QGraphicsDropShadowEffect);
    }
    color.setAlphaF(float(color.alphaF() * opacity));
    shadow->setColor(color);
    shadow->setBlurRadius(std::max(0.0, 2.0 * shownShadowRadius()));
    shadow->setOffset(0, 3);
}

void CustomButton::sendAction()
{
    TargetActionControl::sendAction(this);
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
        updateTitle();
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
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setOpacity(ViewHelpers::opacity(this));
    const QRectF bounds(rect());
    if (const QColor background = shownColor(Paint::Background);
        background.isValid() && background.alpha() > 0)
        painter.fillPath(roundedRect(bounds, m_cornerRadius), background);
    m_titleLayer.paint(painter, shownColor(Paint::Title));
    if (const QColor border = shownColor(Paint::Border);
        m_borderWidth > 0 && border.isValid() && border.alpha() > 0) {
        const double half = m_borderWidth / 2.0;
        painter.strokePath(
            roundedRect(bounds.adjusted(half, half, -half, -half), std::max(0.0, m_cornerRadius - half)),
            QPen(border, m_borderWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    }
}

// The press is the button's own: down shows the active look, up over the button clicks, and the pointer
// leaving abandons the press for good. A double click's second press is a press (QWidget's default).
void CustomButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    m_isMouseDown = true;
    toggleState();
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
    if (std::exchange(m_isMouseDown, false))
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
