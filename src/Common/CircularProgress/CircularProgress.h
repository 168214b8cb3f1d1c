#pragma once

#include "Common/CircularProgress/CheckmarkView.h"
#include "Common/CircularProgress/CustomButton.h"
#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"
#include "Common/CircularProgress/ProgressCircleShapeLayer.h"
#include "Common/CircularProgress/TextImage.h"
#include "Platform/Runtime/Progress.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QVariantAnimation;

// Shows a task's progress as a ring that fills clockwise from the top, with the percentage in its centre;
// at 100 % a checkmark replaces the percentage, while the progress is unknown a quarter arc spins instead
// of the ring, and a cancellable task offers a round cancel button while the pointer is over the ring.
// Driven either by setting progress and the flags, or by an attached Progress whose changes (from any
// thread) are followed on the main thread. The parts are built once, from the size at construction; the
// view paints the track, spinner, ring and label itself, and the checkmark and cancel button are views
// inside it. At rest it keeps no timer and does not repaint.
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
    // frame: in the parent's coordinates.
    explicit CircularProgress(const QRect &frame, QWidget *parent = nullptr);
    // A view of the size at the origin.
    explicit CircularProgress(const QSize &size, QWidget *parent = nullptr);
    // For layout descriptions: the parts are built from the geometry the widget has when first used or
    // polished, so the layout should give it its size.
    explicit CircularProgress(QWidget *parent = nullptr);
    ~CircularProgress() override;

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    QColor originalColor() const { return m_originalColor; }
    // The colour on screen now: the colour's changes reach the ring, track, spinner and label by a 0.2 s
    // transition.
    QColor shownColor() const;
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    bool showCheckmarkAtHundredPercent() const { return m_showCheckmarkAtHundredPercent; }
    void setShowCheckmarkAtHundredPercent(bool show) { m_showCheckmarkAtHundredPercent = show; }
    double progress() const { return m_progress; }
    // Clamped to 0…1; a value that is not a number counts as 0.
    void setProgress(double progress);
    double alphaValue() const { return m_alphaValue; }

    // The four flags read the attached Progress's own while one is attached; setters store the view's.
    bool isFinished() const { return m_progressInstance ? m_progressInstance->isFinished() : m_isFinished; }
    void setIsFinished(bool finished);
    bool isCancellable() const
    {
        return m_progressInstance ? m_progressInstance->isCancellable() : m_isCancellable;
    }
    void setIsCancellable(bool cancellable);
    bool isCancelled() const
    {
        return m_progressInstance ? m_progressInstance->isCancelled() : m_isCancelled;
    }
    void setIsCancelled(bool cancelled);
    bool isIndeterminate() const
    {
        return m_progressInstance ? m_progressInstance->isIndeterminate() : m_isIndeterminate;
    }
    void setIsIndeterminate(bool indeterminate);

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

    // The parts, built on first use.
    double radius();
    ProgressCircleShapeLayer *progressCircle();
    IndeterminateProgressCircleShapeLayer *indeterminateCircle();
    const TextImage *progressLabel();
    CustomButton *cancelButton();
    CheckmarkView *successView();
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
    void ensureSetUp();
    void setNeedsDisplay();
    void displayIfNeeded();
    // The display update: the colour reaches every part, and the spinner gets its turn.
    void updateLayer();
    void updateTrackingAreas();
    void hover(const QPointF &position, QEvent *event);
    void clearIndeterminate();
    bool cancelButtonHidden();
    // Changes the label's hidden flag, its text, or both.
    void setLabel(std::optional<bool> hidden, std::optional<QString> text = std::nullopt);
    void setAlphaValue(double alpha);
    void paintTrack(QPainter &painter, const QColor &color);

    bool m_setUp = false;
    bool m_settingUp = false;
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
    bool m_ringUpdateQueued = false;
    // The track circle as last drawn, kept while its colour, width and the screen's density stay.
    struct
    {
        QImage image;
        QColor color;
        double width = 0;
        double scale = 0;
    } m_track;
};
