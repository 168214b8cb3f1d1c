#include "Common/CircularProgress/ViewHelpers.h"

#include "Common/CircularProgress/AnimationHelpers.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

namespace ViewHelpers {

static const QString pendingFade = QStringLiteral("bootdrive-pending-fade-in");

void fadeIn(QWidget *view, double duration, double delay, std::function<void()> completion)
{
    if (!view)
        return;
    cancelFadeIn(view);
    view->setHidden(true);
    // The fade waits in a child of the view, so that cancelling it (deleting the child) drops it.
    auto *pending = new QObject(view);
    pending->setObjectName(pendingFade);
    QTimer::singleShot(
        int(delay * 1000.0), pending, [pending, view, duration, completion = std::move(completion)] {
            pending->deleteLater();
            view->setHidden(false);
            if (view->graphicsEffect() && !qobject_cast<QGraphicsOpacityEffect *>(view->graphicsEffect())) {
                if (completion)
                    completion();
                return;
            }
            // The effect exists only while the fade runs: a view at rest draws straight to the screen.
            auto *effect = new QGraphicsOpacityEffect;
            effect->setOpacity(0.0);
            view->setGraphicsEffect(effect);
            auto *fade = new QPropertyAnimation(effect, "opacity", effect);
            fade->setEndValue(1.0);
            fade->setDuration(int(duration * 1000.0));
            fade->setEasingCurve(AnimationHelpers::defaultTiming());
            QObject::connect(fade, &QAbstractAnimation::finished, view, [view, completion] {
                view->setGraphicsEffect(nullptr);
                if (completion)
                    completion();
            });
            fade->start();
        });
}

void cancelFadeIn(QWidget *view)
{
    if (view)
        qDeleteAll(view->findChildren<QObject *>(pendingFade, Qt::FindDirectChildrenOnly));
}

double opacity(const QWidget *view)
{
    double result = 1.0;
    for (; view; view = view->isWindow() ? nullptr : view->parentWidget()) {
        bool ok = false;
        const double alpha = view->property("alphaValue").toDouble(&ok);
        result *= ok ? alpha : 1.0;
    }
    return result;
}

QFont labelFont()
{
    static const QFont font = [] {
        QFont f;
        f.setFamilies({QStringLiteral("Helvetica Neue"), QStringLiteral("DejaVu Sans"),
                       QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans")});
        f.setWeight(QFont::Light);
        f.setStyleHint(QFont::SansSerif);
        return f;
    }();
    return font;
}

QFont systemFont(double pointSize)
{
    QFont font = QGuiApplication::font();
    QStringList families = font.families().isEmpty() ? QStringList{font.family()} : font.families();
    families.removeAll(QStringLiteral("Noto Sans CJK SC"));
    families.prepend(QStringLiteral("Noto Sans CJK SC"));
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace ViewHelpers
