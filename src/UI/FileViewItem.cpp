#include "UI/FileViewItem.h"

#include "Common/ForeignText.h"
#include "Platform/Desktop/WebLink.h"
#include "UI/LinkOpener.h"
#include "UI/VectorImage.h"
#include "WebImage/WebImageLoader.h"
#include "ui_FileViewItem.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QToolButton>

const QString FileViewItem::Identifier = QStringLiteral("FileViewItem");

FileViewItem::FileViewItem(QWidget *parent)
    : CollectionViewItem(parent), m_ui(std::make_unique<Ui::FileViewItem>())
{
    m_ui->setupUi(this);
    logoImageView = m_ui->logoImageView;
    nameLabel = m_ui->nameLabel;
    versionLabel = m_ui->versionLabel;
    dateLabel = m_ui->dateLabel;
    infoLabel = m_ui->infoLabel;
    downloadButton = m_ui->downloadButton;

    logoImageView->setScaledContents(true);
    // The description's font and width are the ones its cell height is measured with; the label's 2-point
    // margin is the text field's padding.
    QFont infoFont = QApplication::font();
    infoFont.setPointSizeF(10);
    infoLabel->setFont(infoFont);
    infoLabel->setMargin(0);
    infoLabel->setContentsMargins(2, 0, 2, 0);
    downloadButton->setIcon(QIcon(QStringLiteral(":/images/download.svg")));
    // Clear of the button's edges, where its focus ring is drawn.
    downloadButton->setIconSize(QSize(20, 20));
    downloadButton->setAutoRaise(true);
    downloadButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(downloadButton, &QToolButton::clicked, this, &FileViewItem::downloadAction);
    // A tool button answers Space only; Return and Enter press it as well, like the window's buttons.
    downloadButton->installEventFilter(this);
    setAttribute(Qt::WA_StyledBackground, true);
}

FileViewItem::~FileViewItem() = default;

QImage FileViewItem::placeholderImage()
{
    static const QImage image = VectorImage::image(QStringLiteral(":/images/logo.svg"), QSize(88, 88));
    return image;
}

void FileViewItem::setMacOSModel(const MacOSModelPtr &model)
{
    m_macOSModel = model;
    const QString logo = model ? model->logoUrl() : QString();
    WebImageLoader::shared().setImageWithURL(logoImageView, QUrl(logo), placeholderImage());
    nameLabel->setText(model ? model->name() : QString());
    versionLabel->setText(model ? model->version() : QString());
    dateLabel->setText(model ? model->releaseDate() : QString());
    infoLabel->setText(model ? model->info() : QString());
    // Every item has the same icon-only button; its name says which entry it downloads.
    const QString name = model ? model->name() : QString();
    setAccessibleName(name);
    downloadButton->setAccessibleName(tr("下载 %1").arg(name));
    downloadButton->setAccessibleDescription(
        tr("在浏览器中打开 %1 %2 的下载页面").arg(name, model ? model->version() : QString()).simplified());
    downloadButton->setToolTip(ForeignText::toolTip(downloadButton->accessibleName()));
    // Without a web link there is nothing to download.
    downloadButton->setEnabled(model && !platform::WebLink::fromText(model->downloadUrl()).isEmpty());
}

void FileViewItem::downloadAction()
{
    if (m_macOSModel && !m_macOSModel->downloadUrl().isEmpty())
        LinkOpener::open(window(), m_macOSModel->downloadUrl());
}

bool FileViewItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == downloadButton && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            downloadButton->click();
            return true;
        }
    }
    return CollectionViewItem::eventFilter(watched, event);
}

void FileViewItem::resizeEvent(QResizeEvent *event)
{
    CollectionViewItem::resizeEvent(event);
    // The description takes the height the item was given, less the name row and the margin below.
    infoLabel->setGeometry(infoLabel->x(), infoLabel->y(), infoLabel->width(),
                           std::max(0, height() - infoLabel->y()));
}
