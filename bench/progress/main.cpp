// bench_progress — what the progress ring costs, against a plain painting of the same picture.
//  (a) At rest: a shown view whose animations have ended keeps no timer: over one second no timer event
//      reaches any object, no animation runs and the view is not repainted. A row with a budget of 0 events
//      (timer events, repaints and running animations added up).
//  (b) Animating: the paint time of one frame of the ring's fill animation at 200 x 200 with the label
//      shown, at 1x and at 2x (a high-density screen), through the view's paint event (render() into an
//      image of that density). The baseline is ReferenceRing, the same picture painted straight with
//      QPainter every frame, rendered the same way in the same loop, the two taking turns frame by frame so
//      that the machine's drift hits both. Rows: the ratio of the MEDIAN frame times, at most 1.5x.
//      At 2x the translucent track circle would cost most of a frame (Qt's raster engine hands such large
//      blends to its thread pool); the ring keeps it as an image at the screen's density and copies it.

#include "Common/CircularProgress/CircularProgress.h"
#include "ReferenceRing.h"
#include "common/BenchRow.h"
#include "unit/progress/ManualAnimationDriver.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

class EventCounter : public QObject
{
public:
    int timers = 0;
    int paints = 0;
    QObject *watched = nullptr;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ++timers;
        if (event->type() == QEvent::Paint && object == watched)
            ++paints;
        return false;
    }
};

void runFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int runningAnimations(const QObject &root)
{
    const auto animations = root.findChildren<QAbstractAnimation *>();
    return int(std::count_if(animations.begin(), animations.end(), [](const QAbstractAnimation *a) {
        return a->state() == QAbstractAnimation::Running;
    }));
}

struct Rest
{
    // Timer events, repaints of the view and running animations over one second after the last animation.
    int events;
};

Rest atRest()
{
    CircularProgress view(QSize(200, 200));
    view.show();
    // On screen first, so the change animates as it does in the window.
    runFor(100);
    view.setProgress(0.6);

    EventCounter counter;
    counter.watched = &view;
    qApp->installEventFilter(&counter);
    runFor(600);
    const int animationTimers = counter.timers;
    const int animationPaints = counter.paints;
    QElapsedTimer waited;
    waited.start();
    while (runningAnimations(view) > 0 && waited.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    runFor(100);

    counter.timers = 0;
    counter.paints = 0;
    runFor(1000);
    qApp->removeEventFilter(&counter);

    std::printf("(a) view at rest (200 x 200, shown, progress 0.6 reached, spinner added but hidden)\n");
    std::printf("    while the ring animated (0.6 s):   %d timer events, %d repaints\n", animationTimers,
                animationPaints);
    std::printf(
        "    at rest, over 1.0 s:               %d timer events, %d repaints, running animations: %d\n",
        counter.timers, counter.paints, runningAnimations(view));
    return {counter.timers + counter.paints + runningAnimations(view)};
}

struct Figures
{
    double mean, median, p99, max;
};

Figures figures(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size());
    return {mean, samples[samples.size() / 2], samples[std::size_t(double(samples.size()) * 0.99)],
            samples.back()};
}

struct Frames
{
    Figures ring, reference;
    // Pixels of one frame on which the two pictures differ by more than 8 levels in a channel.
    double differingShare;
};

double differingShare(const QImage &a, const QImage &b)
{
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            differing += std::abs(qRed(p[x]) - qRed(q[x])) > 8 || std::abs(qGreen(p[x]) - qGreen(q[x])) > 8 ||
                         std::abs(qBlue(p[x]) - qBlue(q[x])) > 8 || std::abs(qAlpha(p[x]) - qAlpha(q[x])) > 8;
    }
    return double(differing) / double(qint64(a.width()) * a.height());
}

Frames frameTimes(double scale, int frames)
{
    ManualAnimationDriver clock;
    const QSize size(200, 200);
    CircularProgress view(size);
    ReferenceRing reference(size, view.lineWidth());
    auto canvas = [&] {
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        return image;
    };
    QImage ringImage = canvas();
    QImage referenceImage = canvas();
    // One frame: what the window's backing store does for a widget, a paint event into a painter.
    auto paint = [](QWidget &widget, QImage &image) {
        image.fill(Qt::transparent);
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    };
    auto timed = [&](QWidget &widget, QImage &image, std::vector<double> &samples) {
        QElapsedTimer timer;
        timer.start();
        paint(widget, image);
        samples.push_back(double(timer.nsecsElapsed()) / 1000.0);
    };
    paint(view, ringImage);
    QCoreApplication::processEvents();

    std::vector<double> ringSamples, referenceSamples;
    ringSamples.reserve(frames);
    referenceSamples.reserve(frames);
    double differing = 0;
    const int framesPerCycle = 30; // the 0.5 s fill at 60 frames a second
    bool up = true;
    for (int frame = 0; frame < frames; ++frame) {
        if (frame % framesPerCycle == 0) {
            view.setProgress(up ? 0.93 : 0.07);
            up = !up;
            QCoreApplication::processEvents();
        }
        clock.advance(1.0 / 60.0);
        reference.setPicture(view.progressCircle()->shownProgress(), view.progressLabel()->string());
        // Taking turns at going first, so that neither always finds the caches the other warmed.
        if (frame % 2 == 0) {
            timed(view, ringImage, ringSamples);
            timed(reference, referenceImage, referenceSamples);
        } else {
            timed(reference, referenceImage, referenceSamples);
            timed(view, ringImage, ringSamples);
        }
        if (frame == framesPerCycle / 2)
            differing = differingShare(ringImage, referenceImage);
    }
    return {figures(std::move(ringSamples)), figures(std::move(referenceSamples)), differing};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const Rest rest = atRest();

    const int frames = 6000;
    std::printf("(b) one animation frame of the ring (fill animation running, label shown) and of the plain\n"
                "    reference painting the same picture, taking turns, %d frames each\n",
                frames);
    std::printf("    %-16s %-10s %9s %9s %9s %9s\n", "size", "", "mean", "median", "p99", "max");
    Frames results[2];
    const double scales[] = {1.0, 2.0};
    for (int i = 0; i < 2; ++i) {
        results[i] = frameTimes(scales[i], frames);
        for (const auto &[name, f] :
             {std::pair{"ring", results[i].ring}, {"reference", results[i].reference}})
            std::printf("    200 x 200 at %.0fx %-10s %6.1f us %6.1f us %6.1f us %6.0f us\n", scales[i], name,
                        f.mean, f.median, f.p99, f.max);
        std::printf(
            "    200 x 200 at %.0fx pictures differing by more than 8 levels: %.2f %% of the pixels\n",
            scales[i], 100.0 * results[i].differingShare);
    }

    bench::budgetRow("ring at rest (timer events, repaints, animations in 1 s)", rest.events, "events", 0);
    bench::ratioRow("ring frame 1x", results[0].ring.median, results[0].reference.median, "us", 1.5);
    bench::ratioRow("ring frame 2x", results[1].ring.median, results[1].reference.median, "us", 1.5);
    return 0;
}
