#pragma once

#include "Common/CircularProgress/TargetActionControl.h"
#include "Common/CircularProgress/TextImage.h"

#include <QAbstractButton>
#include <array>
#include <functional>
#include <map>
#include <optional>

class QVariantAnimation;

// A push button that paints itself: a rounded background, an optional border and shadow, and the title
// centred. While pressed it shows its active colours (reached by a short transition) and shadow; releasing
// over it clicks: the clicked signal, and the action sent to the target (with the button). A pointer that
// leaves while the button is pressed abandons the press for good. Space, Return and Enter click it too. It
// has no hover look and no focus ring of its own.
class CustomButton : public QAbstractButton, public TargetActionControl
{
    Q_OBJECT
    Q_INTERFACES(TargetActionControl)
    // The view's own opacity: 1 while enabled, 0.6 while disabled.
    Q_PROPERTY(double alphaValue READ alphaValue)

public:
    enum State
    {
        MixedState = -1,
        OffState = 0,
        OnState = 1
    };
    // The colour properties that always hold a colour; each can take a generator that overrides it.
    enum class ColorProperty
    {
        TextColor,
        ActiveTextColor,
        BorderColor,
        ActiveBorderColor,
        BackgroundColor,
        ActiveBackgroundColor,
        ShadowColor
    };
    using ColorGenerator = std::function<QColor()>;
    // The painted parts whose colours move by the transition.
    enum class Paint
    {
        Background,
        Title,
        Border,
        Shadow
    };

    // A zero frame; also the constructor layout descriptions use.
    explicit CustomButton(QWidget *parent = nullptr);
    // frame: in the parent's coordinates.
    explicit CustomButton(const QRect &frame, QWidget *parent = nullptr);

    // A round button of radius r centred on c (in the parent's coordinates), its title in the system font at
    // 2r/3.
    static CustomButton *circularButton(const QString &title, double radius, const QPointF &center,
                                        QWidget *parent = nullptr);

    // Each change repaints the button and runs the colour transition, but the corner radius's and the
    // border width's, which only repaint.
    QColor textColor() const { return m_textColor; }
    virtual void setTextColor(const QColor &color) { change(m_textColor, color); }
    QColor activeTextColor() const { return m_activeTextColor; }
    virtual void setActiveTextColor(const QColor &color) { change(m_activeTextColor, color); }
    double cornerRadius() const { return m_cornerRadius; }
    virtual void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    virtual void setBorderWidth(double width);
    QColor borderColor() const { return m_borderColor; }
    virtual void setBorderColor(const QColor &color) { change(m_borderColor, color); }
    QColor activeBorderColor() const { return m_activeBorderColor; }
    virtual void setActiveBorderColor(const QColor &color) { change(m_activeBorderColor, color); }
    QColor backgroundColor() const { return m_backgroundColor; }
    virtual void setBackgroundColor(const QColor &color) { change(m_backgroundColor, color); }
    QColor activeBackgroundColor() const { return m_activeBackgroundColor; }
    virtual void setActiveBackgroundColor(const QColor &color) { change(m_activeBackgroundColor, color); }
    double shadowRadius() const { return m_shadowRadius; }
    virtual void setShadowRadius(double radius) { change(m_shadowRadius, radius); }
    // Exactly −1 means the inactive value applies while active.
    double activeShadowRadius() const { return m_activeShadowRadius; }
    virtual void setActiveShadowRadius(double radius) { change(m_activeShadowRadius, radius); }
    double shadowOpacity() const { return m_shadowOpacity; }
    virtual void setShadowOpacity(double opacity) { change(m_shadowOpacity, opacity); }
    double activeShadowOpacity() const { return m_activeShadowOpacity; }
    virtual void setActiveShadowOpacity(double opacity) { change(m_activeShadowOpacity, opacity); }
    QColor shadowColor() const { return m_shadowColor; }
    virtual void setShadowColor(const QColor &color) { change(m_shadowColor, color); }
    // None means the (generated) shadow colour applies while active.
    std::optional<QColor> activeShadowColor() const { return m_activeShadowColor; }
    virtual void setActiveShadowColor(std::optional<QColor> color) { change(m_activeShadowColor, color); }

    // Takes effect at the next colour transition. An empty generator removes the override.
    ColorGenerator colorGenerator(ColorProperty property) const;
    void setColorGenerator(ColorProperty property, ColorGenerator generator);

    QString title() const { return text(); }
    void setTitle(const QString &title);
    // Active while on; a change shows the state's shadow at once and its colours by the transition.
    int state() const { return m_state; }
    void setState(int state) { change(m_state, state); }
    bool isActive() const { return m_state == OnState; }
    bool isMouseDown() const { return m_isMouseDown; }

    double alphaValue() const { return isEnabled() ? 1.0 : 0.6; }
    const TextImage *titleLayer() const { return &m_titleLayer; }
    // What is on screen now: the colours part way through a transition, and the shadow of the state.
    QColor shownColor(Paint paint) const;
    double shownShadowRadius() const
    {
        return isActive() && m_activeShadowRadius != -1.0 ? m_activeShadowRadius : m_shadowRadius;
    }
    double shownShadowOpacity() const
    {
        return isActive() && m_activeShadowOpacity != -1.0 ? m_activeShadowOpacity : m_shadowOpacity;
    }

    virtual void setup();
    virtual void positionTitle();
    virtual void animateColor();
    // The display update: the state's shadow at once, then the colour transition.
    virtual void updateLayer();

    // The action closure's entry point (see ActionClosure).
    Q_INVOKABLE void callClosure(QObject *sender);

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    template <class T> void change(T &member, const T &value)
    {
        member = value;
        updateLayer();
    }
    QColor colorFor(ColorProperty property) const;
    void toggleState() { setState(m_state == OffState ? OnState : OffState); }
    void sendAction();
    void updateTitle();
    void updateShadow();

    QColor m_textColor;
    QColor m_activeTextColor;
    double m_cornerRadius = 4.0;
    double m_borderWidth = 0.0;
    QColor m_borderColor;
    QColor m_activeBorderColor;
    QColor m_backgroundColor;
    QColor m_activeBackgroundColor;
    double m_shadowRadius = 0.0;
    double m_activeShadowRadius = -1.0;
    double m_shadowOpacity = 0.0;
    double m_activeShadowOpacity = -1.0;
    QColor m_shadowColor;
    std::optional<QColor> m_activeShadowColor;

    TextImage m_titleLayer;
    bool m_isMouseDown = false;
    bool m_keyDown = false;
    std::map<ColorProperty, ColorGenerator> m_colorGenerators;
    // By Paint.
    std::array<QVariantAnimation *, 4> m_transitions{};
    int m_state = OffState;
};
