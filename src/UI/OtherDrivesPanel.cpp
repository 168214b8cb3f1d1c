#include "UI/OtherDrivesPanel.h"

#include "Common/ForeignText.h"
#include "Creation/BaseModel.h"
#include "Creation/DiskutilViewModel.h"
#include "Platform/Volumes/DeviceMonitor.h"
#include "Platform/Volumes/MountMonitor.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

OtherDrivesPanel::OtherDrivesPanel(QWidget *parent) : QWidget(parent)
{
    m_rows = new QVBoxLayout(this);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(6);
    // Plugging in a stick brings several changes at once (the disk, its partitions, their mounts): one
    // listing after they settle.
    m_settle.setSingleShot(true);
    m_settle.setInterval(300);
    connect(&m_settle, &QTimer::timeout, this, &OtherDrivesPanel::refresh);
    setVisible(false);
}

void OtherDrivesPanel::start()
{
    if (m_started)
        return;
    m_started = true;
    platform::MountMonitor *mounts = platform::MountMonitor::shared();
    connect(mounts, &platform::MountMonitor::didMount, this, [this] { m_settle.start(); });
    connect(mounts, &platform::MountMonitor::didUnmount, this, [this] { m_settle.start(); });
    // A drive plugged in but not mounted, or a stick given a new file system, changes no mount.
    connect(platform::DeviceMonitor::shared(), &platform::DeviceMonitor::devicesChanged, this,
            [this] { m_settle.start(); });
    refresh();
}

void OtherDrivesPanel::setSuspended(bool suspended)
{
    m_suspended = suspended;
    setVisible(!m_suspended && !m_drives.empty());
}

void OtherDrivesPanel::refresh()
{
    // The device monitor reads drives off the main thread; what is left here reads only kernel tables.
    showDrives(platform::RemovableDrives::select(platform::DeviceMonitor::shared()->devices(),
                                                 platform::MountTable::read(),
                                                 platform::RemovableDrives::alsoRemovable()));
}

QString OtherDrivesPanel::description(const platform::RemovableDrives::Drive &drive)
{
    QStringList parts;
    if (const QString product = QStringList{drive.vendor, drive.model}.join(QLatin1Char(' ')).trimmed();
        !product.isEmpty())
        parts << product;
    parts << drive.device;
    if (drive.capacity)
        parts << BaseModel::fileSizeString(static_cast<int64_t>(drive.capacity));
    return parts.join(QStringLiteral(" · "));
}

void OtherDrivesPanel::showDrives(std::vector<platform::RemovableDrives::Drive> drives)
{
    m_drives = std::move(drives);
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!m_drives.empty()) {
        auto *heading = new QLabel(tr("以下驱动器不在 /Volumes 下，装载后即可选择："), this);
        heading->setTextFormat(Qt::PlainText);
        heading->setWordWrap(true);
        m_rows->addWidget(heading);
    }
    for (const platform::RemovableDrives::Drive &drive : m_drives) {
        const QString name = ForeignText::bounded(drive.name().isEmpty() ? drive.device : drive.name());
        QString text = drive.reason == platform::RemovableDrives::Reason::MountedElsewhere
                           ? tr("【%1】已装载在 %2").arg(name, ForeignText::bounded(drive.mountPath()))
                           : tr("【%1】尚未装载").arg(name);
        text += QLatin1Char('\n') + ForeignText::bounded(description(drive));
        using State = platform::BlockDevice::Contents::State;
        if (drive.contents.state == State::NotPermitted)
            text += QLatin1Char('\n') + tr("卷标未知：无权读取该设备");
        else if (drive.contents.state == State::Unreadable)
            text += QLatin1Char('\n') +
                    tr("卷标未知：无法读取该设备（%1）").arg(ForeignText::bounded(drive.contents.failure));
        if (const QString failure = m_failures.value(drive.device); !failure.isEmpty())
            text += QLatin1Char('\n') + tr("未能装载：%1").arg(ForeignText::bounded(failure));

        auto *row = new QWidget(this);
        row->setObjectName(QStringLiteral("otherDriveRow"));
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *label = new QLabel(text, row);
        label->setObjectName(QStringLiteral("otherDriveLabel"));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label, 1);
        auto *button = new QPushButton(row);
        button->setObjectName(QStringLiteral("mountButton"));
        button->setAccessibleName(tr("将【%1】装载到 /Volumes").arg(name));
        button->setAutoDefault(true);
        const bool busy = m_mounting == drive.device;
        button->setText(busy ? tr("正在装载…") : tr("装载到 /Volumes"));
        button->setEnabled(m_mounting.isEmpty());
        connect(button, &QPushButton::clicked, this, [this, drive] { mount(drive); });
        layout->addWidget(button, 0, Qt::AlignTop);
        m_rows->addWidget(row);
        if (!m_refocus.isEmpty() && m_refocus == drive.device && m_mounting.isEmpty()) {
            m_refocus.clear();
            button->setFocus();
        }
    }
    setVisible(!m_suspended && !m_drives.empty());
    emit drivesChanged();
}

void OtherDrivesPanel::mount(const platform::RemovableDrives::Drive &drive)
{
    if (!m_mounting.isEmpty())
        return;
    m_mounting = drive.device;
    m_failures.remove(drive.device);
    // The rows are made again while it mounts; the keyboard's place is kept for when it is done.
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    if (hadFocus)
        setFocus();
    showDrives(m_drives);
    QPointer<OtherDrivesPanel> self(this);
    // With administrator rights, as the erase has: the disk utility asks for them itself.
    DiskutilViewModel::runDiskutil(
        QStringLiteral("mount ") + DiskutilViewModel::shellQuoted(QFile::encodeName(drive.device)),
        [self, device = drive.device, hadFocus](bool succeeded, const QString &error) {
            if (!self)
                return;
            self->m_mounting.clear();
            if (!succeeded)
                self->m_failures.insert(device, error);
            if (!succeeded && hadFocus)
                self->m_refocus = device;
            if (succeeded)
                emit self->mounted(hadFocus);
            // Mounted, the drive moves to the drive list; the listing says so
            // either way.
            self->refresh();
        });
}
