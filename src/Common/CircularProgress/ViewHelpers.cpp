#include "Common/CircularProgress/ViewHelpers.h"

#include "Common/CircularProgress/AnimationHelpers.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

namespace ViewHelpers {

namespace {

const char *const pendingFadeName = "bootdrive-pending-fade-in";

} // namespace

void fadeIn(QWidget *view, double duration, double delay, std::function<void()> completion)
{
    if (!view)
        return;
    cancelFadeIn(view);
    view->setHidden(true);
    // The fade waits in a child of the view, so that cancelling it (deleting the child) drops the call.
    auto *pending = new QObject(view);
    pending->setObjectName(QLatin1String(pendingFadeName));
    QPointer<QWidget> target(view);
    QTimer::singleShot(
        int(delay * 1000.0), pending, [pending, target, duration, completion = std::move(completion)] {
            pending->deleteLater();
            if (!target)
                return;
            if (target->graphicsEffect() &&
                !qobject_cast<QGraphicsOpacityEffect *>(target->graphicsEffect())) {
                target->setHidden(false);
                if (completion)
                    completion();
                return;
            }
            // The effect exists only while the fade runs: a view at rest draws straight to the screen.
            auto *effect = new QGraphicsOpacityEffect;
            effect->setOpacity(0.0);
            target->setGraphicsEffect(effect);
            auto *fade = new QPropertyAnimation(effect, "opacity", effect);
            fade->setStartValue(0.0);
            fade->setEndValue(1.0);
            fade->setDuration(int(duration * 1000.0));
            fade->setEasingCurve(AnimationHelpers::defaultTiming());
            QObject::connect(fade, &QAbstractAnimation::finished, target, [target, completion] {
                target->setGraphicsEffect(nullptr);
                if (completion)
                    completion();
            });
            target->setHidden(false);
            fade->start();
        });
}

void cancelFadeIn(QWidget *view)
{
    if (view)
        qDeleteAll(view->findChildren<QObject *>(QLatin1String(pendingFadeName), Qt::FindDirectChildrenOnly));
}

bool isWindowBlocked(const QWidget *window)
{
    if (!window)
        return false;
    if (QApplication::activeModalWidget())
        return true;
    const QWidget *top = window->window();
    for (const QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget == top || !widget->isVisible() || widget->windowModality() != Qt::WindowModal)
            continue;
        for (const QWidget *owner = widget->parentWidget(); owner; owner = owner->parentWidget()) {
            if (owner->window() == top)
                return true;
        }
    }
    return false;
}

bool isViewHidden(const QWidget *view)
{
    return view && view->testAttribute(Qt::WA_WState_Hidden) &&
           (view->testAttribute(Qt::WA_WState_ExplicitShowHide) || view->isWindow());
}

double opacity(const QWidget *view)
{
    double result = 1.0;
    for (; view; view = view->isWindow() ? nullptr : view->parentWidget()) {
        bool ok = false;
        const double alpha = view->property("alphaValue").toDouble(&ok);
        if (ok)
            result *= alpha;
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
    QStringList families = font.families();
    if (families.isEmpty())
        families << font.family();
    families.removeAll(QStringLiteral("Noto Sans CJK SC"));
    families.prepend(QStringLiteral("Noto Sans CJK SC"));
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace ViewHelpers
