#include "UI/FileViewItem.h"

#include "Platform/WebLink.h"
#include "WebImage/WebImageView.h"
#include "ui_FileViewItem.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolButton>

const QString FileViewItem::Identifier = QStringLiteral("FileViewItem");

FileViewItem::FileViewItem(QWidget *parent)
    : platform::CollectionViewItem(parent), m_ui(std::make_unique<Ui::FileViewItem>())
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
    downloadButton->setIconSize(QSize(22, 22));
    downloadButton->setAutoRaise(true);
    downloadButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(downloadButton, &QToolButton::clicked, this, &FileViewItem::downloadAction);
    setAttribute(Qt::WA_StyledBackground, true);
}

FileViewItem::~FileViewItem() = default;

QImage FileViewItem::placeholderImage()
{
    static const QImage image = [] {
        QImage picture(88, 88, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        QSvgRenderer(QStringLiteral(":/images/logo.svg")).render(&painter);
        return picture;
    }();
    return image;
}

void FileViewItem::setMacOSModel(const MacOSModelPtr &model)
{
    m_macOSModel = model;
    const QString logo = model ? model->logoUrl() : QString();
    WebImageView::setImageWithURL(logoImageView, QUrl(logo), placeholderImage());
    nameLabel->setText(model ? model->name() : QString());
    versionLabel->setText(model ? model->version() : QString());
    dateLabel->setText(model ? model->releaseDate() : QString());
    infoLabel->setText(model ? model->info() : QString());
    // Without a web link there is nothing to download.
    downloadButton->setEnabled(model && !platform::WebLink::fromText(model->downloadUrl()).isEmpty());
}

void FileViewItem::downloadAction()
{
    if (m_macOSModel && !m_macOSModel->downloadUrl().isEmpty())
        platform::WebLink::open(m_macOSModel->downloadUrl());
}

void FileViewItem::resizeEvent(QResizeEvent *event)
{
    platform::CollectionViewItem::resizeEvent(event);
    // The description takes the height the item was given, less the name row and the margin below.
    infoLabel->setGeometry(infoLabel->x(), infoLabel->y(), infoLabel->width(),
                           std::max(0, height() - infoLabel->y()));
}
