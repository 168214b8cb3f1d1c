#pragma once

#include "Common/CircularProgress/CheckmarkView.h"
#include "Common/CircularProgress/CustomButton.h"
#include "Common/CircularProgress/IndeterminateProgressCircleShapeLayer.h"
#include "Common/CircularProgress/ProgressCircleShapeLayer.h"
#include "Common/CircularProgress/TrackingArea.h"
#include "Platform/Layers/HoverArea.h"
#include "Platform/Layers/LayerHost.h"
#include "Platform/Layers/ShapeLayer.h"
#include "Platform/Layers/TextLayer.h"
#include "Platform/Runtime/Progress.h"

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

// Shows a task's progress as a ring that fills clockwise from the top, with the percentage in its centre;
// at 100 % a checkmark replaces the percentage, while the progress is unknown a quarter arc spins instead
// of the ring, and a cancellable task offers a round cancel button while the pointer is over the ring.
// Driven either by setting progress and the flags, or by an attached Progress whose changes (from any
// thread) are followed on the main thread. The parts are built once, from the size at construction.
class CircularProgress : public QWidget, public TrackingArea::Owner
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
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    bool showCheckmarkAtHundredPercent() const { return m_showCheckmarkAtHundredPercent; }
    void setShowCheckmarkAtHundredPercent(bool show) { m_showCheckmarkAtHundredPercent = show; }
    double progress() const { return m_progress; }
    // Clamped to 0…1; a value that is not a number counts as 0.
    void setProgress(double progress);

    // The four flags read the attached Progress's own while one is attached; setters store the view's.
    bool isFinished() const;
    void setIsFinished(bool finished);
    bool isCancellable() const;
    void setIsCancellable(bool cancellable);
    bool isCancelled() const;
    void setIsCancelled(bool cancelled);
    bool isIndeterminate() const;
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
    const platform::ShapeLayerPtr &backgroundCircle();
    const std::shared_ptr<ProgressCircleShapeLayer> &progressCircle();
    const platform::TextLayerPtr &progressLabel();
    const std::shared_ptr<IndeterminateProgressCircleShapeLayer> &indeterminateCircle();
    CustomButton *cancelButton();
    CheckmarkView *successView();
    platform::LayerHost &host() { return *m_host; }
    // The hover area over the cancel button, while one is installed or was last installed.
    const platform::HoverArea *trackingArea() const { return m_trackingArea.get(); }

    void mouseEntered(QEvent *event) override;
    void mouseExited(QEvent *event) override;

signals:
    void progressChanged(double progress);
    void isIndeterminateChanged(bool indeterminate);

protected:
    bool event(QEvent *event) override;

private:
    void ensureSetUp();
    void commonSetUp();
    void updateLayer();
    void updateTrackingAreas();
    void clearIndeterminate();
    void indeterminateOff();
    void indeterminateOn();
    bool cancelButtonHidden();
    QRectF buildBounds() const;

    QPointer<platform::LayerHost> m_host;
    bool m_setUp = false;
    bool m_settingUp = false;
    std::optional<double> m_radius;
    double m_progress = 0.0;
    std::unique_ptr<platform::ProgressObservation> m_progressObserver;
    std::unique_ptr<platform::ProgressObservation> m_finishedObserver;
    std::unique_ptr<platform::ProgressObservation> m_cancelledObserver;
    std::unique_ptr<platform::ProgressObservation> m_indeterminateObserver;
    platform::ShapeLayerPtr m_backgroundCircle;
    std::shared_ptr<ProgressCircleShapeLayer> m_progressCircle;
    platform::TextLayerPtr m_progressLabel;
    std::shared_ptr<IndeterminateProgressCircleShapeLayer> m_indeterminateCircle;
    QPointer<CustomButton> m_cancelButton;
    QPointer<CheckmarkView> m_successView;
    QColor m_originalColor;
    QColor m_color;
    double m_lineWidth = 2.0;
    bool m_showCheckmarkAtHundredPercent = true;
    bool m_isFinished = false;
    std::shared_ptr<platform::Progress> m_progressInstance;
    std::function<void()> m_onCancelled;
    bool m_isCancellable = false;
    bool m_isCancelled = false;
    bool m_visualizeCancelledState = true;
    ColorHandler m_cancelledStateColorHandler;
    std::unique_ptr<platform::HoverArea> m_trackingArea;
    bool m_isIndeterminate = false;
};
