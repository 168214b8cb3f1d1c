#pragma once

#include "Common/CircularProgress/CircularProgress.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

// What assistive technology sees of the ring: a progress bar whose value is the shown percentage (0…100;
// a maximum of 0 while the progress is unknown, as for a busy indicator), and a press action that cancels
// while the task can be cancelled.
class CircularProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit CircularProgressAccessible(CircularProgress *view)
        : QAccessibleWidget(view, QAccessible::ProgressBar)
    {}

    // Registers the interface for every CircularProgress; once per process, by the application's set-up
    // (the view itself knows nothing of it).
    static void installFactory();

    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;

    QVariant currentValue() const override;
    // The ring reports a task's progress; nobody else may move it.
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return view()->isIndeterminate() ? 0 : 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    CircularProgress *view() const { return static_cast<CircularProgress *>(object()); }
};
