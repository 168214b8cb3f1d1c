#include "Common/CircularProgress/CircularProgressAccessible.h"

#include "Common/CircularProgress/CircularProgress.h"

namespace {

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("CircularProgress"))
        if (auto *view = qobject_cast<CircularProgress *>(object))
            return new CircularProgressAccessible(view);
    return nullptr;
}

} // namespace

CircularProgressAccessible::CircularProgressAccessible(CircularProgress *view)
    : QAccessibleWidget(view, QAccessible::ProgressBar)
{}

void CircularProgressAccessible::installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    (void)installed;
}

CircularProgress *CircularProgressAccessible::view() const
{
    return static_cast<CircularProgress *>(object());
}

void *CircularProgressAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString CircularProgressAccessible::text(QAccessible::Text type) const
{
    switch (type) {
    case QAccessible::Name:
        if (const QString name = view()->accessibleName(); !name.isEmpty())
            return name;
        return CircularProgress::tr("进度");
    case QAccessible::Value:
        // Spoken as the ring shows it; nothing while the progress is unknown.
        return view()->isIndeterminate() ? QString() : QStringLiteral("%1%").arg(currentValue().toInt());
    default:
        return QAccessibleWidget::text(type);
    }
}

QVariant CircularProgressAccessible::currentValue() const
{
    if (view()->isIndeterminate())
        return 0;
    // The ring's own label truncates the same way (0.999 shows 99 %).
    return static_cast<int>(view()->progress() * 100.0);
}

void CircularProgressAccessible::setCurrentValue(const QVariant &)
{
    // The ring reports a task's progress; nobody else may move it.
}

QVariant CircularProgressAccessible::maximumValue() const
{
    return view()->isIndeterminate() ? 0 : 100;
}

QVariant CircularProgressAccessible::minimumValue() const
{
    return 0;
}

QVariant CircularProgressAccessible::minimumStepSize() const
{
    return 1;
}

bool CircularProgressAccessible::canCancel() const
{
    return view()->isCancellable() && !view()->isCancelled() && !view()->isFinished();
}

QStringList CircularProgressAccessible::actionNames() const
{
    QStringList names = QAccessibleWidget::actionNames();
    if (canCancel())
        names << pressAction();
    return names;
}

void CircularProgressAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction() && canCancel()) {
        // Through the cancel button, so whoever handles it (asking first, say) does.
        view()->cancelButton()->click();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList CircularProgressAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction())
        return {QStringLiteral("Return"), QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}
