#pragma once

#include "Platform/Volumes/RemovableDrives.h"

#include <QHash>
#include <QTimer>
#include <QWidget>
#include <vector>

class QVBoxLayout;

// The removable drives the drive list does not offer (mounted elsewhere, as a desktop mounts sticks, or not
// mounted at all), each with why and a button that mounts it below /Volumes with the disk utility, so it
// joins the list. Follows mounts (the mount monitor) and devices (the device monitor: drives plugged in or
// pulled out, media changed); empty and hidden when there is none.
class OtherDrivesPanel : public QWidget
{
    Q_OBJECT

public:
    explicit OtherDrivesPanel(QWidget *parent = nullptr);

    // Starts following the system: the first listing, then every change. Until then the panel stays empty,
    // so the window's first frame does not wait for it.
    void start();
    // Hidden while a run writes a drive, when the panel is no place for a second mount.
    void setSuspended(bool suspended);
    const std::vector<platform::RemovableDrives::Drive> &drives() const { return m_drives; }

signals:
    // The listing changed (after start(), each time the drives are listed again).
    void drivesChanged();
    // A drive was mounted below /Volumes from the panel; `hadFocus`: its button had the keyboard focus, which
    // now has nowhere to stay in the panel.
    void mounted(bool hadFocus);

private:
    void refresh();
    void showDrives(std::vector<platform::RemovableDrives::Drive> drives);
    void mount(const platform::RemovableDrives::Drive &drive);
    static QString description(const platform::RemovableDrives::Drive &drive);

    QVBoxLayout *m_rows = nullptr;
    QTimer m_settle;
    std::vector<platform::RemovableDrives::Drive> m_drives;
    // What the last mount of a device said when it failed, until it is tried again.
    QHash<QString, QString> m_failures;
    QString m_mounting; // the device being mounted now
    QString m_refocus;  // the device whose button gets the focus back once the rows are made again
    bool m_started = false;
    bool m_suspended = false;
};
