#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

class CircularProgress;

// What assistive technology sees of the ring: a progress bar whose value is the shown percentage (0…100;
// a maximum of 0 while the progress is unknown, as for a busy indicator), and a press action that cancels
// while the task can be cancelled.
class CircularProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit CircularProgressAccessible(CircularProgress *view);

    // Registers the interface for every CircularProgress; once per process.
    static void installFactory();

    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    CircularProgress *view() const;
    bool canCancel() const;
};
