#include "UI/OpenPanel.h"

#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Volumes/IconProvider.h"
#include "Platform/Volumes/MountMonitor.h"
#include "Platform/Volumes/MountTable.h"
#include "UI/ControlStyle.h"

#include <QAbstractFileIconProvider>
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace {

// Shows an application bundle with its own icon rather than as a folder.
class BundleIconProvider : public QFileIconProvider
{
public:
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isDir() && info.suffix() == QLatin1String("app")) {
            const QImage image = platform::IconProvider::bundleIcon(info.absoluteFilePath());
            if (!image.isNull())
                return QIcon(QPixmap::fromImage(image));
        }
        return QFileIconProvider::icon(info);
    }
};

} // namespace

OpenPanel::OpenPanel(QWidget *parent) : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    // The dialog does not own its icon provider. The provider goes with a child made after the dialog's
    // file model, so the model, which asks it for icons, goes first.
    auto *provider = new BundleIconProvider;
    setIconProvider(provider);
    connect(new QObject(this), &QObject::destroyed, [provider] { delete provider; });
    setObjectName(QStringLiteral("OpenPanel"));
    setStyleSheet(ControlStyle::styleSheet());
    // Qt would open where the process was started, often "/", or where its last dialog was; a caller that
    // names a folder still overrides this.
    setDirectory(defaultDirectory());
    updateSidebar();
    if (platform::MountMonitor *monitor = platform::MountMonitor::shared()) {
        connect(monitor, &platform::MountMonitor::didMount, this, &OpenPanel::updateSidebar);
        connect(monitor, &platform::MountMonitor::didUnmount, this, &OpenPanel::updateSidebar);
    }
    // Opening a bundle (double click, or Enter on it) would enter it; choose it instead.
    // Qt renames the accept button from the same signals; connected after its own slots, ours run last.
    if (auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        connect(edit, &QLineEdit::textChanged, this, &OpenPanel::updateAcceptButton);
    for (auto *view : findChildren<QAbstractItemView *>())
        if (view->selectionModel())
            connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    &OpenPanel::updateAcceptButton);
    connect(this, &QFileDialog::currentChanged, this, &OpenPanel::updateAcceptButton);
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString &path) {
        if (isBundle(path)) {
            const QString parentDir = QFileInfo(path).absolutePath();
            setDirectory(parentDir);
            chooseBundle(path);
        }
    });
}

void OpenPanel::setPrompt(const QString &prompt)
{
    m_prompt = prompt;
    setLabelText(QFileDialog::Accept, prompt);
}

void OpenPanel::updateAcceptButton()
{
    // Qt names the button "Open" whenever a folder is selected; a bundle is chosen, not opened.
    auto *box = findChild<QDialogButtonBox *>();
    QPushButton *accept = box ? box->button(QDialogButtonBox::Open) : nullptr;
    if (!accept || m_prompt.isEmpty())
        return;
    const QString candidate = typedPath();
    if (!candidate.isEmpty() && (isBundle(candidate) || QFileInfo(candidate).isFile())) {
        accept->setText(m_prompt);
        accept->setEnabled(true);
    }
}

void OpenPanel::setAllowedFileTypes(const QStringList &types, const QString &description)
{
    m_types = types;
    QStringList patterns;
    for (const QString &type : types)
        patterns << QStringLiteral("*.") + type;
    const QString filter = QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' ')));
    setNameFilter(description.trimmed().isEmpty() ? filter
                                                  : description.trimmed() + QLatin1Char(' ') + filter);
}

namespace {

QSettings userDefaults()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, platform::BundleInfo::identifier(),
                     QStringLiteral("defaults"));
}

} // namespace

QString OpenPanel::defaultDirectory()
{
    if (const QString last = userDefaults().value(QLatin1String(LastFolderKey)).toString();
        !last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return !downloads.isEmpty() && QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
}

QList<QUrl> OpenPanel::defaultSidebarUrls()
{
    QStringList places = {
        QDir::homePath(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation), QStringLiteral("/Applications")};
    // Where macOS mounts volumes, and where Linux desktops mount removable media (/media/<user>/<name>,
    // /run/media/<user>/<name>, or /media/<name>).
    static const QByteArray roots[] = {"/Volumes/", "/media/", "/run/media/"};
    QStringList volumes;
    for (const platform::MountEntry &entry : platform::MountTable::visibleVolumes()) {
        const QByteArray &point = entry.mountPointBytes;
        const bool below = std::any_of(std::begin(roots), std::end(roots), [&](const QByteArray &root) {
            return point.startsWith(root) && point.size() > root.size();
        });
        // A path that is not valid text could not be shown as itself, nor opened through its URL.
        if (below && QFile::encodeName(entry.mountPoint) == point)
            volumes << entry.mountPoint;
    }
    // By the name the sidebar shows, as a person reads it.
    std::sort(volumes.begin(), volumes.end(), [](const QString &a, const QString &b) {
        const int byName = QFileInfo(a).fileName().compare(QFileInfo(b).fileName(), Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a < b;
    });
    places << volumes;
    QList<QUrl> urls;
    QStringList seen;
    for (const QString &place : std::as_const(places)) {
        const QString path = QDir::cleanPath(place);
        if (place.isEmpty() || seen.contains(path) || !QFileInfo(path).isDir())
            continue;
        seen << path;
        urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

void OpenPanel::updateSidebar()
{
    setSidebarUrls(defaultSidebarUrls());
}

bool OpenPanel::isBundle(const QString &path) const
{
    const QFileInfo info(path);
    return info.isDir() && m_types.contains(info.suffix());
}

void OpenPanel::chooseBundle(const QString &path)
{
    m_chosen = {QFileInfo(path).absoluteFilePath()};
    rememberFolder();
    QDialog::accept();
}

void OpenPanel::rememberFolder() const
{
    if (m_chosen.isEmpty())
        return;
    QSettings defaults = userDefaults();
    defaults.setValue(QLatin1String(LastFolderKey), QFileInfo(m_chosen.first()).absolutePath());
}

QString OpenPanel::typedPath() const
{
    // In file mode Qt leaves folders (and so bundles) out of selectedFiles(); the name field still has it.
    const QStringList selected = selectedFiles();
    if (selected.size() == 1)
        return selected.first();
    auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    const QString typed = edit ? edit->text().trimmed() : QString();
    if (typed.isEmpty() || typed.startsWith(QLatin1Char('"')))
        return {};
    return QDir(directory()).absoluteFilePath(typed);
}

void OpenPanel::accept()
{
    const QString candidate = typedPath();
    if (isBundle(candidate)) {
        chooseBundle(candidate);
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted) {
        m_chosen = selectedFiles();
        rememberFolder();
    }
}
