#include "Platform/Views/OpenPanel.h"

#include "Platform/IconProvider.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QPixmap>

namespace platform {

namespace {

// Shows an application bundle with its own icon rather than as a folder.
class BundleIconProvider : public QFileIconProvider
{
public:
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isDir() && info.suffix() == QLatin1String("app")) {
            const QImage image = IconProvider::bundleIcon(info.absoluteFilePath());
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
    setIconProvider(new BundleIconProvider);
    setObjectName(QStringLiteral("OpenPanel"));
    // Opening a bundle (double click, or Enter on it) would enter it; choose it instead.
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString &path) {
        if (isBundle(path)) {
            const QString parentDir = QFileInfo(path).absolutePath();
            setDirectory(parentDir);
            chooseBundle(path);
        }
    });
}

void OpenPanel::setPrompt(const QString &prompt) { setLabelText(QFileDialog::Accept, prompt); }

void OpenPanel::setAllowedFileTypes(const QStringList &types)
{
    m_types = types;
    QStringList patterns;
    for (const QString &type : types)
        patterns << QStringLiteral("*.") + type;
    setNameFilter(QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' '))));
}

bool OpenPanel::isBundle(const QString &path) const
{
    const QFileInfo info(path);
    return info.isDir() && m_types.contains(info.suffix());
}

void OpenPanel::chooseBundle(const QString &path)
{
    m_chosen = {QFileInfo(path).absoluteFilePath()};
    QDialog::accept();
}

void OpenPanel::accept()
{
    const QStringList selected = selectedFiles();
    if (selected.size() == 1 && isBundle(selected.first())) {
        chooseBundle(selected.first());
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted)
        m_chosen = selectedFiles();
}

} // namespace platform
