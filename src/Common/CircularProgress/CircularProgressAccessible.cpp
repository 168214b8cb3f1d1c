#include "Common/CircularProgress/CircularProgressAccessible.h"

void CircularProgressAccessible::installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString &className, QObject *object) -> QAccessibleInterface * {
            auto *view = qobject_cast<CircularProgress *>(object);
            return view && className == QLatin1String("CircularProgress")
                       ? new CircularProgressAccessible(view)
                       : nullptr;
        });
        return true;
    }();
    (void)installed;
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
        return view()->accessibleName().isEmpty() ? CircularProgress::tr("进度") : view()->accessibleName();
    case QAccessible::Value:
        // Spoken as the ring shows it; nothing while the progress is unknown.
        return view()->isIndeterminate() ? QString() : QStringLiteral("%1%").arg(currentValue().toInt());
    default:
        return QAccessibleWidget::text(type);
    }
}

QVariant CircularProgressAccessible::currentValue() const
{
    // Truncated as the ring's label is (0.999 shows 99 %).
    return view()->isIndeterminate() ? 0 : int(view()->progress() * 100.0);
}

QStringList CircularProgressAccessible::actionNames() const
{
    return QAccessibleWidget::actionNames() +
           (view()->canCancel() ? QStringList{pressAction()} : QStringList());
}

void CircularProgressAccessible::doAction(const QString &actionName)
{
    // Through the cancel button, so that whoever handles it (asking first, say) does.
    if (actionName == pressAction() && view()->canCancel())
        view()->cancelButton()->click();
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList CircularProgressAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction())
        return {QStringLiteral("Return"), QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}
