// progress-gallery FOLDER — renders the circular progress view and the styled button in their states to PNG
// files in FOLDER (at twice the size, for a sharp look), plus gallery.png with all of them on one sheet.
// Runs without a display: QT_QPA_PLATFORM=offscreen progress-gallery /tmp/gallery

#include "Common/CircularProgress/CircularProgress.h"
#include "Common/CircularProgress/CustomButton.h"
#include "Common/CircularProgress/ViewHelpers.h"
#include "unit/progress/ManualAnimationDriver.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <cstdio>
#include <vector>

namespace {

constexpr double scale = 2.0;

struct Shot
{
    QString file;
    QString caption;
    QImage image;
};

// Moves the animations' clock in frame steps, so every animation reaches its end.
ManualAnimationDriver *animationClock = nullptr;

void settle(double seconds)
{
    const int frames = int(seconds * 60.0);
    for (int i = 0; i < frames; ++i)
        animationClock->advance(1.0 / 60.0);
    QCoreApplication::processEvents();
}

// The widget's picture with the widgets inside it, at the gallery's scale; a top-level widget's window
// background only when asked for.
QImage snapshot(QWidget &widget, bool background = false)
{
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(),
                  background ? QWidget::DrawWindowBackground | QWidget::DrawChildren : QWidget::DrawChildren);
    image.setDevicePixelRatio(1.0);
    return image;
}

// The view as the main window shows it: over a black backdrop at 0.7 on the window's light background.
QImage onBackdrop(const QImage &image, const QColor &backdrop)
{
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(QColor(236, 236, 236));
    QPainter painter(&result);
    painter.fillRect(result.rect(), backdrop);
    painter.drawImage(0, 0, image);
    return result;
}

std::unique_ptr<CircularProgress> makeView(const QSize &size)
{
    auto view = std::make_unique<CircularProgress>(size);
    settle(0.3);
    return view;
}

Shot ring(double progress, const QSize &size = QSize(200, 200), double lineWidth = 2.0)
{
    auto view = makeView(size);
    view->setLineWidth(lineWidth);
    view->setProgress(progress);
    settle(0.8);
    const QString name = QStringLiteral("ring-%1-%2x%3-w%4")
                             .arg(int(progress * 100))
                             .arg(size.width())
                             .arg(size.height())
                             .arg(lineWidth);
    return {name,
            QStringLiteral("%1 %, %2×%3, line %4")
                .arg(int(progress * 100))
                .arg(size.width())
                .arg(size.height())
                .arg(lineWidth),
            snapshot(*view)};
}

Shot indeterminate()
{
    auto view = makeView(QSize(200, 200));
    view->setLineWidth(3);
    // The spinner turns only on screen; a still of it a quarter second into a turn.
    view->show();
    view->setIsIndeterminate(true);
    settle(0.25);
    return {QStringLiteral("indeterminate"), QStringLiteral("indeterminate"), snapshot(*view)};
}

Shot finished(const QSize &size)
{
    auto view = makeView(size);
    view->setLineWidth(3);
    view->setProgress(0.6);
    settle(0.8);
    view->setProgress(1.0);
    settle(1.0);
    return {QStringLiteral("finished-%1x%2").arg(size.width()).arg(size.height()),
            QStringLiteral("finished, %1×%2").arg(size.width()).arg(size.height()), snapshot(*view)};
}

Shot cancelled()
{
    auto view = makeView(QSize(200, 200));
    view->setLineWidth(3);
    view->setIsCancellable(true);
    view->setProgress(0.42);
    settle(0.8);
    view->cancelProgress();
    settle(0.5);
    return {QStringLiteral("cancelled"), QStringLiteral("cancelled at 42 %"), snapshot(*view)};
}

Shot hover()
{
    auto view = makeView(QSize(200, 200));
    view->setLineWidth(3);
    view->setIsCancellable(true);
    view->setProgress(0.66);
    settle(0.8);
    QEnterEvent enter(QPointF(100, 100), QPointF(100, 100), QPointF(100, 100));
    QApplication::sendEvent(view.get(), &enter);
    settle(1.3);
    return {QStringLiteral("hover-cancel"), QStringLiteral("hover: cancel button"), snapshot(*view)};
}

std::vector<Shot> button()
{
    QWidget panel;
    panel.resize(220, 100);
    panel.setAutoFillBackground(true);
    QPalette palette = panel.palette();
    palette.setColor(QPalette::Window, QColor(246, 246, 248));
    panel.setPalette(palette);
    auto *button = new CustomButton(QRect(30, 26, 160, 48), &panel);
    button->setTitle(QStringLiteral("开始制作"));
    button->setFont(ViewHelpers::systemFont(17));
    button->setCornerRadius(10);
    button->setShadowOpacity(0.25);
    button->setShadowRadius(4);
    button->setActiveShadowRadius(8);
    button->setActiveShadowOpacity(0.4);
    button->setActiveBackgroundColor(button->backgroundColor().darker(125));
    settle(0.5);
    const QImage released = snapshot(panel, true);

    const QPointF inside(80, 24);
    QMouseEvent press(QEvent::MouseButtonPress, inside, button->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    settle(0.5);
    const QImage pressed = snapshot(panel, true);

    QMouseEvent release(QEvent::MouseButtonRelease, inside, button->mapToGlobal(inside), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &release);
    settle(0.5);
    return {{QStringLiteral("button-released"), QStringLiteral("button"), released},
            {QStringLiteral("button-pressed"), QStringLiteral("button, pressed"), pressed},
            {QStringLiteral("button-after-click"), QStringLiteral("button, after a click"),
             snapshot(panel, true)}};
}

QImage sheet(const std::vector<Shot> &shots)
{
    const int columns = 4;
    const int cell = int(220 * scale);
    const int caption = int(28 * scale);
    const int rows = int((shots.size() + columns - 1) / columns);
    QImage image(columns * cell, rows * (cell + caption), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(40, 40, 44));
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    QFont font = QApplication::font();
    font.setPixelSize(int(13 * scale));
    painter.setFont(font);
    for (std::size_t i = 0; i < shots.size(); ++i) {
        const int x = int(i % columns) * cell;
        const int y = int(i / columns) * (cell + caption);
        QImage picture = shots[i].image;
        if (picture.width() > cell - 20 || picture.height() > cell - 20)
            picture = picture.scaled(cell - 20, cell - 20, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(x + (cell - picture.width()) / 2, y + (cell - picture.height()) / 2, picture);
        painter.setPen(QColor(220, 220, 225));
        painter.drawText(QRect(x, y + cell, cell, caption), Qt::AlignHCenter | Qt::AlignTop,
                         shots[i].caption);
    }
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ManualAnimationDriver clock;
    animationClock = &clock;
    if (argc != 2) {
        std::fprintf(stderr, "usage: progress-gallery FOLDER\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    const QColor backdrop(0, 0, 0, 178);
    std::vector<Shot> shots;
    for (double p : {0.0, 0.25, 0.5, 0.75, 0.999})
        shots.push_back(ring(p));
    shots.push_back(ring(0.62, QSize(200, 200), 4.0));
    shots.push_back(ring(0.35, QSize(200, 100), 3.0));
    shots.push_back(indeterminate());
    shots.push_back(finished(QSize(200, 200)));
    shots.push_back(finished(QSize(200, 100)));
    shots.push_back(cancelled());
    shots.push_back(hover());
    for (Shot &shot : button())
        shots.push_back(std::move(shot));
    for (Shot &shot : shots) {
        if (!shot.file.startsWith(QLatin1String("button")))
            shot.image = onBackdrop(shot.image, backdrop);
        const QString path = folder.filePath(shot.file + QStringLiteral(".png"));
        if (!shot.image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    const QString sheetPath = folder.filePath(QStringLiteral("gallery.png"));
    if (!sheet(shots).save(sheetPath)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(sheetPath));
        return 1;
    }
    std::printf("%s\n", qPrintable(sheetPath));
    return 0;
}
