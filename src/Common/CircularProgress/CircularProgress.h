#pragma once

#include "Common/CircularProgress/CheckmarkView.h"
#include "Common/CircularProgress/CustomButton.h"
#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"
#include "Common/CircularProgress/ProgressCircleShapeLayer.h"
#include "Common/CircularProgress/TextImage.h"
#include "Platform/Runtime/Progress.h"

#include <QImage>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

// A task's progress as a ring that fills clockwise from the top with the percentage in its centre; at 100 %
// a checkmark replaces the percentage, while the progress is unknown a quarter arc spins instead, and a
// cancellable task offers a round cancel button while the pointer is over the ring. Driven by setting
// progress and the flags, or by an attached Progress whose changes (from any thread) it follows on the main
// thread. At rest it keeps no timer and does not repaint.
class CircularProgress : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth)
    Q_PROPERTY(bool showCheckmarkAtHundredPercent READ showCheckmarkAtHundredPercent WRITE
                   setShowCheckmarkAtHundredPercent)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(bool isFinished READ isFinished WRITE setIsFinished)
    Q_PROPERTY(bool isCancellable READ isCancellable WRITE setIsCancellable)
    Q_PROPERTY(bool isCancelled READ isCancelled WRITE setIsCancelled)
    Q_PROPERTY(
        bool isIndeterminate READ isIndeterminate WRITE setIsIndeterminate NOTIFY isIndeterminateChanged)
    // The view's opacity: 0.7 while a cancellation is shown dimmed, else 1.
    Q_PROPERTY(double alphaValue READ alphaValue)

public:
    // The parts are built once, from the size at construction. frame: in the parent's coordinates.
    explicit CircularProgress(const QRect &frame, QWidget *parent = nullptr);
    // A view of the size at the origin.
    explicit CircularProgress(const QSize &size, QWidget *parent = nullptr);
    // For layout descriptions: the parts are built from the size the widget has when first shown or used.
    explicit CircularProgress(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    QColor originalColor() const { return m_originalColor; }
    // The colour on screen, which follows the colour by a 0.2 s transition.
    QColor shownColor() const { return m_colorTransition->currentValue().value<QColor>(); }
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    bool showCheckmarkAtHundredPercent() const { return m_showCheckmarkAtHundredPercent; }
    void setShowCheckmarkAtHundredPercent(bool show) { m_showCheckmarkAtHundredPercent = show; }
    double progress() const { return m_progress; }
    // Clamped to 0…1; a value that is not a number counts as 0.
    void setProgress(double progress);
    double alphaValue() const { return m_alphaValue; }

    // While a Progress is attached the four flags read its own; the setters store the view's.
    bool isFinished() const { return flag(&platform::Progress::isFinished, m_isFinished); }
    void setIsFinished(bool finished);
    bool isCancellable() const { return flag(&platform::Progress::isCancellable, m_isCancellable); }
    void setIsCancellable(bool cancellable);
    bool isCancelled() const { return flag(&platform::Progress::isCancelled, m_isCancelled); }
    void setIsCancelled(bool cancelled);
    bool isIndeterminate() const { return flag(&platform::Progress::isIndeterminate, m_isIndeterminate); }
    void setIsIndeterminate(bool indeterminate);
    // Whether the cancel button is offered: cancellable, and neither cancelled nor finished.
    bool canCancel() const { return isCancellable() && !isCancelled() && !isFinished(); }

    std::shared_ptr<platform::Progress> progressInstance() const { return m_progressInstance; }
    void setProgressInstance(std::shared_ptr<platform::Progress> progress);

    std::function<void()> onCancelled() const { return m_onCancelled; }
    void setOnCancelled(std::function<void()> handler) { m_onCancelled = std::move(handler); }
    bool visualizeCancelledState() const { return m_visualizeCancelledState; }
    void setVisualizeCancelledState(bool visualize) { m_visualizeCancelledState = visualize; }
    using ColorHandler = std::function<QColor(const QColor &)>;
    ColorHandler cancelledStateColorHandler() const { return m_cancelledStateColorHandler; }
    void setCancelledStateColorHandler(ColorHandler handler)
    {
        m_cancelledStateColorHandler = std::move(handler);
    }

    void resetProgress();
    void cancelProgress();

    // The parts.
    double radius() { return *setUp().m_radius; }
    ProgressCircleShapeLayer *progressCircle() { return &*setUp().m_progressCircle; }
    IndeterminateProgressCircleShapeLayer *indeterminateCircle() { return &*setUp().m_indeterminateCircle; }
    const TextImage *progressLabel() { return &*setUp().m_progressLabel; }
    CustomButton *cancelButton() { return setUp().m_cancelButton; }
    CheckmarkView *successView() { return setUp().m_successView; }
    // The hover area: the cancel button's frame, while the view is cancellable.
    std::optional<QRectF> trackingArea() const { return m_trackingArea; }

    void mouseEntered(QEvent *event);
    void mouseExited(QEvent *event);

signals:
    void progressChanged(double progress);
    void isIndeterminateChanged(bool indeterminate);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool flag(bool (platform::Progress::*read)() const, bool stored) const
    {
        return m_progressInstance ? ((*m_progressInstance).*read)() : stored;
    }
    // Builds the parts on first use, from the size the view has then.
    CircularProgress &setUp();
    void setNeedsDisplay();
    // The display update: the colour reaches every part, and the spinner gets its turn.
    void updateLayer();
    void updateTrackingAreas();
    void hover(const QPointF &position, QEvent *event);
    void setLabelHidden(bool hidden);
    void setAlphaValue(double alpha);
    void paintTrack(QPainter &painter, const QColor &color);

    std::optional<double> m_radius;
    double m_progress = 0.0;
    std::optional<ProgressCircleShapeLayer> m_progressCircle;
    std::optional<TextImage> m_progressLabel;
    std::optional<IndeterminateProgressCircleShapeLayer> m_indeterminateCircle;
    QPointer<CustomButton> m_cancelButton;
    QPointer<CheckmarkView> m_successView;
    QColor m_originalColor;
    QColor m_color;
    QVariantAnimation *m_colorTransition;
    double m_lineWidth = 2.0;
    bool m_showCheckmarkAtHundredPercent = true;
    bool m_isFinished = false;
    std::shared_ptr<platform::Progress> m_progressInstance;
    std::weak_ptr<platform::Progress> m_observed;
    std::function<void()> m_onCancelled;
    bool m_isCancellable = false;
    bool m_isCancelled = false;
    bool m_visualizeCancelledState = true;
    ColorHandler m_cancelledStateColorHandler;
    std::optional<QRectF> m_trackingArea;
    bool m_pointerInside = false;
    bool m_isIndeterminate = false;
    double m_alphaValue = 1.0;
    bool m_displayPending = false;
    // The track circle as last drawn, kept while its colour, width and the screen's density stay.
    QImage m_track;
    std::tuple<QColor, double, double> m_trackKey;
};
