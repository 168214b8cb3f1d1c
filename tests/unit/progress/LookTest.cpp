// The ring's look, held against reference pictures: each state at 1× and 2×, 200 × 200 with the window's
// line width, on a transparent background. A picture may differ from its reference in at most 0.5 % of its
// pixels by more than 8 levels in any channel. BOOTDRIVE_WRITE_PROGRESS_REFERENCES=folder writes the
// pictures there instead of comparing.

#include "Common/CircularProgress/CircularProgress.h"
#include "ProgressTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <gtest/gtest.h>

using namespace progresstest;

namespace {

struct State
{
    const char *name;
    std::function<void(CircularProgress &, ManualAnimationDriver &)> drive;
};

void moveTo(CircularProgress &view, ManualAnimationDriver &clock, double progress)
{
    view.setProgress(progress);
    settle(clock, 0.8);
}

// The spinner starts turning when it is shown, so its angle depends on the given time alone.
void spinFor(CircularProgress &view, ManualAnimationDriver &clock, double seconds)
{
    view.setIsIndeterminate(true);
    clock.advance(seconds);
    drain();
}

const std::vector<State> &states()
{
    using Clock = ManualAnimationDriver;
    static const std::vector<State> all = {
        {"zero", [](CircularProgress &view, Clock &clock) { moveTo(view, clock, 0); }},
        {"thirty", [](CircularProgress &view, Clock &clock) { moveTo(view, clock, 0.3); }},
        {"sixty", [](CircularProgress &view, Clock &clock) { moveTo(view, clock, 0.6); }},
        {"finished", [](CircularProgress &view, Clock &clock) { moveTo(view, clock, 1.0); }},
        {"spinner-0.1s", [](CircularProgress &view, Clock &clock) { spinFor(view, clock, 0.1); }},
        {"spinner-0.35s", [](CircularProgress &view, Clock &clock) { spinFor(view, clock, 0.35); }},
        {"spinner-0.8s", [](CircularProgress &view, Clock &clock) { spinFor(view, clock, 0.8); }},
        {"cancelled",
         [](CircularProgress &view, Clock &clock) {
             view.setIsCancellable(true);
             moveTo(view, clock, 0.42);
             view.cancelProgress();
             settle(clock, 0.5);
         }},
        {"cancel-button",
         [](CircularProgress &view, Clock &clock) {
             view.setIsCancellable(true);
             moveTo(view, clock, 0.66);
             const QPointF centre(100, 100);
             QEnterEvent enter(centre, centre, view.mapToGlobal(centre));
             QApplication::sendEvent(&view, &enter);
             settle(clock, 1.2);
         }},
    };
    return all;
}

QImage renderState(const State &state, double scale)
{
    ManualAnimationDriver clock;
    CircularProgress view(QSize(200, 200));
    view.setLineWidth(5);
    // On screen, where the spinner turns.
    view.show();
    settle(clock, 0.3);
    state.drive(view, clock);
    return render(view, scale);
}

QString referenceName(const State &state, double scale)
{
    return QStringLiteral("%1@%2x.png").arg(QLatin1String(state.name)).arg(int(scale));
}

// Pixels whose premultiplied channels differ by more than the tolerance in any channel.
int differingPixels(const QImage &a, const QImage &b, int tolerance)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = lineA[x], q = lineB[x];
            if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance || std::abs(qAlpha(p) - qAlpha(q)) > tolerance)
                ++count;
        }
    }
    return count;
}

} // namespace

TEST(ProgressLook, EveryStateMatchesItsReferenceAtBothDensities)
{
    const QString writeTo = qEnvironmentVariable("BOOTDRIVE_WRITE_PROGRESS_REFERENCES");
    const QDir references(QStringLiteral(BOOTDRIVE_SOURCE_DIR "/tests/unit/progress/references"));
    const QDir failures(QDir::temp().filePath(QStringLiteral("bootdrive-progress-look")));
    for (const State &state : states()) {
        for (const double scale : {1.0, 2.0}) {
            const QString name = referenceName(state, scale);
            SCOPED_TRACE(name.toStdString());
            const QImage actual = renderState(state, scale);
            if (!writeTo.isEmpty()) {
                ASSERT_TRUE(QDir().mkpath(writeTo));
                ASSERT_TRUE(actual.save(QDir(writeTo).filePath(name)));
                continue;
            }
            const QImage expected =
                QImage(references.filePath(name)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            ASSERT_FALSE(expected.isNull()) << "no reference " << references.filePath(name).toStdString();
            ASSERT_EQ(actual.size(), expected.size());
            const int differing = differingPixels(actual, expected, 8);
            const int allowed = actual.width() * actual.height() / 200;
            if (differing > allowed) {
                QDir().mkpath(failures.path());
                actual.save(failures.filePath(name));
            }
            EXPECT_LE(differing, allowed) << "the picture is in " << failures.filePath(name).toStdString();
        }
    }
}
