#include "UI/MainViewController.h"

#include "BuildConfig.h"
#include "Common/CircularProgress/ActionClosure.h"
#include "Common/CircularProgress/CircularProgress.h"
#include "Common/ForeignText.h"
#include "Creation/BaseModel.h"
#include "Platform/Desktop/WebLink.h"
#include "Platform/Runtime/StopSignals.h"
#include "UI/AlertManager.h"
#include "UI/DriveItemDelegate.h"
#include "UI/FileViewItem.h"
#include "UI/LinkOpener.h"
#include "UI/OpenPanel.h"
#include "UI/OtherDrivesPanel.h"
#include "UI/VectorImage.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGraphicsOpacityEffect>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QResource>
#include <QSessionManager>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <unistd.h>

QString MainViewController::styleSheetText()
{
    // The first frame sets its text in one weight of the CJK face at three sizes: the window is laid out, so
    // every size and weight is a font engine loaded before it can be shown, and a second weight a second
    // face of the font to open. Headings differ by size alone.
    return QStringLiteral(R"(
        MainViewController { background: #f4f6fa; }
        QLabel#titleLabel { font-size: 20px; color: #1b2430; }
        QLabel#macOSInfoLabel { font-size: 14px; color: #1b2430; }
        QLabel#diskLabel { color: #44505f; }
        QLabel#tipsLabel { color: #5b6b7f; }
        QWidget#catalogPanel { background: #ffffff; border-left: 1px solid #e2e7ee; }
        QAbstractScrollArea#collectionView, QWidget#CollectionViewContent { background: transparent; border: none; }
        QAbstractScrollArea#collectionView { border: 2px solid transparent; border-radius: 6px; }
        QAbstractScrollArea#collectionView:focus { border-color: #1f6bf0; }
        FileViewItem { background: #f7f9fc; border: 1px solid #e6ebf2; border-radius: 8px; }
        FileViewItem QLabel#nameLabel { font-weight: 600; color: #1b2430; }
        FileViewItem QLabel#versionLabel, FileViewItem QLabel#dateLabel { color: #6b7a8d; font-size: 11px; }
        FileViewItem QLabel#infoLabel { color: #44505f; }
        FileViewItem QToolButton { border: none; background: transparent; }
        QLabel#catalogTitleLabel { font-size: 20px; color: #1b2430; }
        QPushButton { border: 1px solid #c6d0dc; border-radius: 8px; background: #ffffff; padding: 6px 16px;
                      color: #1b2430; }
        QPushButton:hover { background: #f0f4fa; }
        QPushButton:pressed { background: #e2e9f3; }
        QPushButton:disabled { color: #9aa7b6; background: #f3f5f8; }
        QPushButton#makeMacOSButton { background: #1f6bf0; border: none; color: #ffffff; font-size: 14px; }
        QPushButton#makeMacOSButton:hover { background: #2f78f5; }
        QPushButton#makeMacOSButton:pressed { background: #1658cc; }
        QPushButton#makeMacOSButton:disabled { background: #b7ccf3; color: #f4f7fd; }
        QComboBox { border: 1px solid #c6d0dc; border-radius: 6px; padding: 3px 10px; background: #ffffff; }
        QComboBox:disabled { color: #9aa7b6; background: #f3f5f8; }
        QComboBox QAbstractItemView { selection-background-color: #1f6bf0; selection-color: #ffffff; }
        QPushButton:focus { border: 2px solid #1f6bf0; padding: 5px 15px; }
        QPushButton#makeMacOSButton:focus { border: 2px solid #0b3d91; }
        QComboBox:focus { border: 2px solid #1f6bf0; padding: 2px 9px; }
        FileViewItem QToolButton:focus { border: 2px solid #1f6bf0; border-radius: 6px; }
        QLabel#startHintLabel, QLabel#driveHintLabel, QLabel#catalogStatusLabel { color: #8a4b00; }
        QLabel#statusLabel { color: #1b2430; }
        QScrollArea#creationScroll, QScrollArea#creationScroll > QWidget, QWidget#creationPanel {
            background: transparent; }
    )");
}

QUrl MainViewController::tutorialUrl()
{
    return QUrl(QStringLiteral(BOOTDRIVE_TUTORIAL_URL));
}

MainViewController::MainViewController(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()),
      m_sleepInhibitor(QApplication::applicationDisplayName())
{
    // Styled before the children exist, so each is polished once, in its final look.
    setStyleSheet(styleSheetText());
    m_ui->setupUi(this);
    circularProgress = m_ui->circularProgress;
    diskListPopUpButton = m_ui->diskListPopUpButton;
    collectionView = m_ui->collectionView;
    collectionView->registerItem(FileViewItem::Identifier, [] { return new FileViewItem; });
    collectionView->setDataSource(this);
    collectionView->setDelegate(this);
    macOSInfoLabel = m_ui->macOSInfoLabel;
    selectMacOSButton = m_ui->selectMacOSButton;
    makeMacOSButton = m_ui->makeMacOSButton;
    tipsLabel = m_ui->tipsLabel;
    addImageView = m_ui->addImageView;
    bgImageView = m_ui->bgImageView;
    startHintLabel = m_ui->startHintLabel;
    statusLabel = m_ui->statusLabel;
    driveHintLabel = m_ui->driveHintLabel;
    otherDrivesPanel = m_ui->otherDrivesPanel;
    diskListPopUpButton->setItemDelegate(new DriveItemDelegate(diskListPopUpButton));
    connect(otherDrivesPanel, &OtherDrivesPanel::drivesChanged, this, [this] {
        updateDriveHint();
        updateTabOrder();
    });
    // A drive mounted from the keyboard is to be picked next.
    connect(otherDrivesPanel, &OtherDrivesPanel::mounted, this, [this](bool hadFocus) {
        if (hadFocus)
            diskListPopUpButton->setFocus();
    });
    cancelRunButton = m_ui->cancelRunButton;
    ejectButton = m_ui->ejectButton;
    catalogStatusLabel = m_ui->catalogStatusLabel;
    catalogRetryButton = m_ui->catalogRetryButton;
    driveHintLabel->setText(tr("没有可用的驱动器。请插入 U 盘并装载到 /Volumes 下，例如：\nsudo mount "
                               "--mkdir /dev/sdb1 /Volumes/USB"));
    // The "+" tile stands for the installer still to be chosen: a click on it chooses one.
    addImageView->setCursor(Qt::PointingHandCursor);
    addImageView->installEventFilter(this);
    // The ring takes the installer picture's place while it shows; the slot keeps its height either way, so
    // nothing around it moves.
    circularProgress->installEventFilter(this);
    // The panel's controls take the focus; the scroll area follows it, also where the window moves it, and
    // is no stop of its own.
    m_ui->creationScroll->setFocusPolicy(Qt::NoFocus);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && m_ui->creationPanel->isAncestorOf(now))
            m_ui->creationScroll->ensureWidgetVisible(now);
    });
    // A long drive name must not make the panel wider than the window: the pop-up elides it.
    diskListPopUpButton->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    diskListPopUpButton->setMinimumContentsLength(12);
    fitToScreen();

    connect(diskListPopUpButton, QOverload<int>::of(&QComboBox::activated), this,
            &MainViewController::selectDiskAction);
    connect(selectMacOSButton, &QPushButton::clicked, this, &MainViewController::selectMacOSAction);
    connect(makeMacOSButton, &QPushButton::clicked, this, &MainViewController::makeAction);
    connect(cancelRunButton, &QPushButton::clicked, this, [this] { confirmCancel(false); });
    // Escape asks to stop a run, as the visible cancel button does; nothing happens otherwise.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (m_jobRunning)
            confirmCancel(false);
    });
    // Quitting by the keyboard goes through closing the window, which asks first while a run writes a drive;
    // so does logging out of the desktop.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            [this] { window()->close(); });
#if QT_CONFIG(sessionmanager)
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (!m_jobRunning)
            return;
        if (manager.allowsInteraction()) {
            confirmCancel(true);
            manager.release();
        }
        manager.cancel();
    });
#endif
    connect(ejectButton, &QPushButton::clicked, this, &MainViewController::ejectMadeDrive);
    auto *ejectChosen = new QAction(tr("推出所选驱动器"), diskListPopUpButton);
    diskListPopUpButton->addAction(ejectChosen);
    diskListPopUpButton->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(ejectChosen, &QAction::triggered, this, [this] {
        if (!m_jobRunning && m_diskModel) {
            m_madeDrive = m_diskModel->volumePath();
            ejectMadeDrive();
        }
    });
    verifyDriveAction = new QAction(tr("校验驱动器"), diskListPopUpButton);
    diskListPopUpButton->addAction(verifyDriveAction);
    connect(verifyDriveAction, &QAction::triggered, this, &MainViewController::verifyDrive);
    connect(catalogRetryButton, &QPushButton::clicked, this, &MainViewController::requestCatalog);

    connect(&m_notifier, &platform::DesktopNotifier::activated, this, &MainViewController::bringToFront);

    updateTabOrder();
    // The panel scrolls up and down but is never narrower than its controls in their styled fonts: the
    // catalog beside it makes room.
    ensurePolished();
    m_ui->creationScroll->setMinimumWidth(m_ui->creationPanel->minimumSizeHint().width() +
                                          style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    bgImageView->lower();
    circularProgress->raise();
    circularProgress->setHidden(true);
    showAddImage();
}

MainViewController::~MainViewController() = default;

void MainViewController::closeOnStopSignals()
{
    m_stopSignals = std::make_unique<platform::StopSignals>([this](int) { window()->close(); });
}

void MainViewController::viewDidLoad()
{
    m_viewModel = new DiskutilViewModel(this);
    connect(m_viewModel, &DiskutilViewModel::diskutilViewModelProgress, this,
            &MainViewController::jobProgressed);
    connect(m_viewModel, &DiskutilViewModel::diskutilViewModelCompletion, this,
            &MainViewController::jobCompleted);
    connect(m_viewModel, &DiskutilViewModel::diskutilViewModelState, this,
            &MainViewController::jobStateChanged);
    connect(m_viewModel, &DiskutilViewModel::diskutilViewModelVerification, this,
            &MainViewController::jobVerificationRead);
    // The first frame lists the drives with plain icons; reading each volume's own icon, the background
    // picture, the ring's styling and the service requests wait until the window is on screen, so it
    // appears about as fast as any window does.
    m_viewModel->setReadsVolumeIcons(false);
    m_viewModel->diskutilList();
    installEventFilter(this);
}

bool MainViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == addImageView && event->type() == QEvent::MouseButtonRelease && !m_jobRunning &&
        selectMacOSButton->isEnabled()) {
        selectMacOSAction();
        return true;
    }
    if (watched == circularProgress && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        addImageView->setHidden(!circularProgress->isHidden());
    if (watched == this && event->type() == QEvent::Paint && !m_loaded) {
        m_loaded = true;
        removeEventFilter(this);
        QPointer<MainViewController> self(this);
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, [self] {
            if (self)
                self->finishLoading();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void MainViewController::finishLoading()
{
    // Rendering the vector icon at every size a window manager asks for costs several milliseconds.
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/AppIcon.svg")));
    // The ring sits on a black backdrop at 0.7 opacity over the creation panel.
    circularProgress->setAttribute(Qt::WA_StyledBackground, true);
    circularProgress->setStyleSheet(
        QStringLiteral("background-color: rgba(0, 0, 0, 178); border-radius: 18px;"));
    circularProgress->setLineWidth(5);
    // The ring's cancel button asks first: a cancelled drive has to be made again.
    QPointer<MainViewController> self(this);
    ActionClosure::set(circularProgress->cancelButton(), [self](QWidget *) {
        if (self)
            self->confirmCancel(false);
    });
    m_viewModel->setReadsVolumeIcons(true);
    m_readsRecords = true;
    m_viewModel->diskutilList();
    otherDrivesPanel->start();
    // The hints' lines of text, laid out and drawn, would keep the first frame waiting; they follow it.
    m_hintsShown = true;
    updateDriveHint();
    updateUI();
    showBackground();

    // The catalog, then the update notice; the answers come in either order. Only the catalog is asked for
    // again when the service cannot be reached: the update notice ends the application, so it is asked once.
    m_installationImageViewModel = new InstallationImageViewModel(this);
    catalogStatusLabel->setText(tr("正在载入系统镜像列表…"));
    catalogRetryButton->setVisible(false);
    m_ui->catalogStatusPanel->setVisible(true);
    m_catalogRetry = new CatalogRetry(this);
    connect(m_catalogRetry, &CatalogRetry::retryNow, this, &MainViewController::requestCatalog);
    requestCatalog();
    m_installationImageViewModel->updateAppSuccess(
        [self](const QString &downloadUrl) {
            if (self)
                self->showUpdateNotice(downloadUrl);
        },
        nullptr);
}

void MainViewController::requestCatalog()
{
    if (!m_installationImageViewModel)
        return;
    QPointer<MainViewController> self(this);
    catalogRetryButton->setEnabled(false);
    m_installationImageViewModel->installationImageListSuccess(
        [self](const std::vector<MacOSModelPtr> &items) {
            if (!self)
                return;
            self->m_catalogRetry->succeeded();
            self->m_ui->catalogStatusPanel->setVisible(false);
            self->m_filesArray = items;
            self->collectionView->reloadData();
        },
        [self](const QVariant &) {
            if (!self)
                return;
            self->m_catalogRetry->failed();
            self->catalogStatusLabel->setText(
                catalogFailureText(self->m_installationImageViewModel->lastCatalogFailure()) +
                QLatin1Char(' ') + tr("%1 秒后将自动重试。").arg(self->m_catalogRetry->pauseMs() / 1000));
            self->catalogRetryButton->setVisible(true);
            self->catalogRetryButton->setEnabled(true);
            self->m_ui->catalogStatusPanel->setVisible(true);
        });
}

QString MainViewController::catalogFailureText(const InstallationImageViewModel::CatalogFailure &failure)
{
    using Kind = InstallationImageViewModel::CatalogFailure::Kind;
    switch (failure.kind) {
    case Kind::ServiceError:
        // The service's own words, as data: one line, bounded.
        if (failure.httpStatus != 0)
            return tr("服务器返回了错误（HTTP %1）。").arg(failure.httpStatus);
        if (failure.message.trimmed().isEmpty())
            return tr("服务器返回了错误（代码 %1）。").arg(failure.code);
        return tr("服务器返回了错误：“%1”。").arg(ForeignText::bounded(failure.message.simplified()));
    case Kind::UnreadableAnswer:
        return tr("服务器的回答无法识别。");
    case Kind::Unreachable:
        break;
    }
    return tr("无法连接到服务器。");
}

int MainViewController::numberOfItems(CollectionView &, int)
{
    return static_cast<int>(m_filesArray.size());
}

CollectionViewItem *MainViewController::itemForIndex(CollectionView &view, int index)
{
    auto *item = static_cast<FileViewItem *>(view.makeItemWithIdentifier(FileViewItem::Identifier, index));
    item->setMacOSModel(m_filesArray.at(static_cast<size_t>(index)));
    return item;
}

QSize MainViewController::sizeForItem(CollectionView &, int index)
{
    return QSize(400, static_cast<int>(std::ceil(m_filesArray.at(static_cast<size_t>(index))->cellHeight())));
}

void MainViewController::didSelectItem(CollectionView &, int) {}

void MainViewController::showUpdateNotice(const QString &downloadUrl)
{
    if (m_holdingNotices) {
        m_heldUpdateLink = downloadUrl;
        return;
    }
    QPointer<MainViewController> self(this);
    AlertManager::alertByWindow(
        window(), {tr("下载新版本")}, QImage(), tr("温馨提示"), tr("为了您更好了体验，请更新至最新版本。"),
        AlertManager::InformationalStyle, [self, downloadUrl](int64_t) {
            const auto quitSoon = [] {
                QTimer::singleShot(1000, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
            };
            // A notice without a web link still ends the application; nothing opens. Without a browser the
            // address is given to copy first.
            if (!self || downloadUrl.isEmpty())
                return quitSoon();
            LinkOpener::open(self->window(), downloadUrl, quitSoon);
        });
}

void MainViewController::releaseNotices()
{
    m_holdingNotices = false;
    if (std::optional<QString> link = std::exchange(m_heldUpdateLink, std::nullopt))
        showUpdateNotice(*link);
}

void MainViewController::showBackground()
{
    auto *effect = new QGraphicsOpacityEffect(bgImageView);
    effect->setOpacity(0.05);
    bgImageView->setGraphicsEffect(effect);
    layoutBackground();
}

void MainViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutBackground();
}

void MainViewController::layoutBackground()
{
    bgImageView->setGeometry(rect());
    if (m_loaded)
        bgImageView->setPixmap(
            VectorImage::pixmap(QStringLiteral(":/images/background.svg"), size(), devicePixelRatioF()));
}

void MainViewController::fitToScreen()
{
    // The panels scroll when the window is smaller than what they hold, so the window fits any screen down
    // to 640 × 400 and never opens larger than the room the screen has, less the window manager's frame.
    const QSize room = screen()->availableGeometry().size() - QSize(8, 32);
    setMinimumSize(QSize(640, 400).boundedTo(room));
    resize(QSize(920, 580).boundedTo(room).expandedTo(minimumSize()));
}

void MainViewController::showAddImage()
{
    // Drawn at build time at 1× and 2× as bare premultiplied RGBA pixels: reading any image format, even PNG
    // named outright, first has Qt scan every image plugin, which the first frame need not wait for.
    const int scale = devicePixelRatioF() > 1 ? 2 : 1;
    const int side = 112 * scale;
    const QByteArray pixels =
        QResource(scale == 2 ? QStringLiteral(":/images/add@2x.rgba") : QStringLiteral(":/images/add.rgba"))
            .uncompressedData();
    QPixmap picture;
    if (pixels.size() == qsizetype(side) * side * 4) {
        const QImage image(reinterpret_cast<const uchar *>(pixels.constData()), side, side, side * 4,
                           QImage::Format_RGBA8888_Premultiplied);
        // A copy in the window system's own format; the resource's bytes go away with this function.
        picture = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        picture.setDevicePixelRatio(scale);
    }
    addImageView->setPixmap(picture);
}

void MainViewController::showInstallerImage(const QImage &image)
{
    if (image.isNull()) {
        addImageView->clear();
        return;
    }
    const qreal scale = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(image).scaled(QSize(112, 112) * scale, Qt::KeepAspectRatio,
                                                      Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(scale);
    addImageView->setPixmap(pixmap);
}

void MainViewController::updateDiskList()
{
    diskListPopUpButton->clear();
    m_itemDrives.clear();
    const uint64_t generation = ++m_popUpGeneration;
    // The chosen drive stays chosen while it is still there, wherever it now stands in the list: a mount
    // elsewhere must never move the choice to another drive behind the user's back.
    DiskModelPtr chosen;
    if (m_diskModel)
        for (const DiskModelPtr &disk : m_dataArray)
            if (disk->isSameVolume(*m_diskModel)) {
                chosen = disk;
                break;
            }
    // While a run writes the drive, the tools erase, rename and remount it: it is the same drive as long as
    // it is the same device, and it stays chosen (under its new name) even while it is not mounted at all.
    std::vector<DiskModelPtr> shown = m_dataArray;
    if (!chosen && m_jobRunning && m_diskModel) {
        for (const DiskModelPtr &disk : m_dataArray)
            if (m_diskModel->deviceNumber() != 0 && disk->deviceNumber() == m_diskModel->deviceNumber())
                chosen = disk;
        if (!chosen) {
            chosen = m_diskModel;
            shown.push_back(chosen);
        }
    }
    // After a failed or stopped run whose drive went away, nothing is chosen until the user picks: the first
    // drive in the list is one the user never chose.
    if (!chosen && !m_dataArray.empty() && m_afterRun != AfterRun::Stopped)
        chosen = m_dataArray.front();
    m_diskModel = chosen;
    for (const DiskModelPtr &disk : shown) {
        if (disk->name().isEmpty())
            continue;
        const int key = m_nextItemKey++;
        m_itemDrives.insert(key, disk);
        QPointer<MainViewController> self(this);
        QMetaObject::invokeMethod(
            this,
            [self, disk, key, generation] {
                if (!self || generation != self->m_popUpGeneration)
                    return;
                QComboBox *popUp = self->diskListPopUpButton;
                popUp->addItem(QIcon(QPixmap::fromImage(disk->image())), popUpTitle(*disk), key);
                const int index = popUp->count() - 1;
                // What tells drives apart, under each row's name and for a screen reader.
                const QString summary = ForeignText::bounded(disk->deviceSummary());
                popUp->setItemData(index, ForeignText::toolTip(summary), Qt::ToolTipRole);
                popUp->setItemData(index, summary, DriveItemDelegate::SecondaryTextRole);
                popUp->setItemData(index, summary, Qt::AccessibleDescriptionRole);
                if (disk == self->m_diskModel)
                    popUp->setCurrentIndex(index);
                // Nothing is read on the drive a run writes.
                if (self->m_readsRecords && disk->deviceNumber() != self->m_viewModel->busyDevice())
                    self->showRecordOf(disk, key, generation);
            },
            Qt::QueuedConnection);
    }
    // With no drive chosen (after a finished run) the pop-up shows none, rather than the first item it was
    // given.
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_popUpGeneration && !m_diskModel)
                diskListPopUpButton->setCurrentIndex(-1);
        },
        Qt::QueuedConnection);
    // What the pop-up says with no row chosen: after a finished run, or with nothing to offer. While a run
    // writes a drive, its rows are refilled as the tools remount it: the pop-up keeps naming that drive.
    diskListPopUpButton->setPlaceholderText(m_jobRunning && m_diskModel ? popUpTitle(*m_diskModel)
                                            : m_dataArray.empty()       ? tr("没有可用的驱动器")
                                                                        : tr("请选择目标驱动器"));
    updateDriveHint();
    if (!m_jobRunning)
        recheckChoices();
}

void MainViewController::updateTabOrder()
{
    // Tab follows the panel from top to bottom, the rows of drives elsewhere included, then the catalog.
    QList<QWidget *> chain{selectMacOSButton, diskListPopUpButton};
    for (QPushButton *mount : otherDrivesPanel->findChildren<QPushButton *>())
        chain << mount;
    chain << makeMacOSButton << cancelRunButton << circularProgress << ejectButton << catalogRetryButton
          << collectionView;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void MainViewController::updateDriveHint()
{
    // With no drive offered the window says how to get one; when removable drives are elsewhere, the panel
    // that offers to mount them says it instead.
    driveHintLabel->setVisible(m_hintsShown && m_dataArray.empty() && !m_jobRunning &&
                               otherDrivesPanel->drives().empty());
}

void MainViewController::updateUI()
{
    const bool hasDrive = m_diskModel && !m_diskModel->volume().isEmpty();
    const bool hasInstaller = m_macOSModel && !m_macOSModel->path().isEmpty();
    // Only a run that can go ahead is offered: the checks that need no erase have passed. After a run that
    // stopped short, only the user's next pick offers one again.
    makeMacOSButton->setEnabled(!m_jobRunning && hasDrive && hasInstaller &&
                                m_afterRun != AfterRun::Stopped && choicesPassChecks());
    verifyDriveAction->setEnabled(!m_jobRunning && hasDrive);
    startHintLabel->setText(m_jobRunning || !m_hintsShown ? QString() : startHint());
}

bool MainViewController::choicesPassChecks() const
{
    return m_diskModel && m_macOSModel && m_check.drive == m_diskModel && m_check.installer == m_macOSModel &&
           !m_check.pending && m_check.result.refusal == CreationPreflight::Refusal::None;
}

bool MainViewController::checkingChoices() const
{
    return m_check.pending;
}

QString MainViewController::startHint() const
{
    // Right after a drive was made there is nothing the user has to do first.
    if (m_afterRun == AfterRun::Succeeded)
        return {};
    if (!m_macOSModel)
        return tr("请先选择系统安装文件。");
    if (!m_diskModel)
        return m_dataArray.empty() ? tr("请先插入并装载一个 U 盘。") : tr("请选择目标驱动器。");
    if (m_afterRun == AfterRun::Stopped)
        return tr("选择驱动器或安装文件后可重新开始。");
    if (m_check.pending || m_check.drive != m_diskModel || m_check.installer != m_macOSModel)
        return tr("正在检查安装文件和驱动器…");
    if (m_check.result.refusal != CreationPreflight::Refusal::None)
        return refusalText(m_check.result, *m_diskModel);
    return {};
}

void MainViewController::recheckChoices()
{
    const uint64_t generation = ++m_check.generation;
    m_check.drive = m_diskModel;
    m_check.installer = m_macOSModel;
    m_check.result = CreationPreflight::Result();
    m_check.pending = m_diskModel && m_macOSModel;
    if (m_check.pending) {
        // The checks walk the installer: on a worker, so the window stays responsive.
        const CreationPreflight::Input input = CreationPreflight::inputFor(*m_macOSModel, *m_diskModel);
        QtConcurrent::run([input] {
            return CreationPreflight::check(input);
        }).then(this, [this, generation](const CreationPreflight::Result &result) {
            if (generation != m_check.generation)
                return;
            m_check.pending = false;
            m_check.result = result;
            if (!m_jobRunning)
                updateUI();
        });
    }
    updateUI();
}

void MainViewController::selectDiskAction()
{
    const int index = diskListPopUpButton->currentIndex();
    if (index >= 0) {
        // The item knows its drive; an item without one (there is none) leaves the choice as it was.
        const DiskModelPtr drive = m_itemDrives.value(diskListPopUpButton->itemData(index).toInt());
        if (drive)
            m_diskModel = drive;
    }
    m_afterRun = AfterRun::None;
    recheckChoices();
}

void MainViewController::selectMacOSAction()
{
    auto *panel = new OpenPanel(window());
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setPrompt(tr("选择"));
    panel->setAllowedFileTypes({QStringLiteral("app")}, tr("macOS 安装程序"));
    QPointer<MainViewController> self(this);
    connect(panel, &QDialog::finished, this, [self, panel](int result) {
        if (!self || result != QDialog::Accepted || panel->URLs().isEmpty())
            return;
        self->checkInstaller(MacOSModel::initWithURL(panel->URLs().first()));
    });
    panel->open();
}

void MainViewController::checkInstaller(const MacOSModelPtr &candidate)
{
    const MacOSModelPtr previous = m_macOSModel;
    m_macOSModel = candidate;
    QString refusal;
    AlertOptions options;
    // A bundle without a display name is named by its file name.
    const QString fileName = ForeignText::bounded(QFileInfo(candidate->path()).fileName());
    const QString shownName =
        candidate->name().isEmpty() ? fileName : ForeignText::bounded(candidate->name());
    if (!candidate->installMacOS()) {
        refusal = tr("系统安装文件不可用");
        // Why, and what to pick instead, below the alert's own words.
        if (!candidate->name().isEmpty())
            options.detailText = tr("“%1”不是可以制作启动盘的安装程序。").arg(shownName);
        else if (!QFileInfo::exists(candidate->path() + QStringLiteral("/Contents/Info.plist")))
            options.detailText =
                tr("“%1”不是 macOS 安装程序：其中没有 Contents/Info.plist 文件。").arg(fileName);
        else
            options.detailText = tr("“%1”不是 macOS 安装程序：它的 Contents/Info.plist "
                                    "中没有显示名称（CFBundleDisplayName）。")
                                     .arg(fileName);
        options.detailText +=
            QLatin1Char('\n') +
            tr("请选择 Install macOS Catalina、Mojave、High Sierra、Sierra 或 Install OS X El "
               "Capitan，可从右侧列表下载。");
    } else if (candidate->installType() != 0 && candidate->installType() != 1) {
        return; // no rule for other kinds: nothing happens
    } else {
        switch (candidate->placement()) {
        case MacOSModel::Placement::Acceptable:
            return makeSystemDisk();
        case MacOSModel::Placement::MustLeaveApplications:
            refusal = tr("系统安装文件不能在Applications目录下，您可以将系统安装文件拷贝至桌面");
            break;
        case MacOSModel::Placement::MustBeInApplications:
            refusal = tr("请将系统安装文件拷贝在Applications目录下");
            break;
        }
    }
    // A refused installer does not stay chosen, so it can never enable the start button.
    m_macOSModel = previous;
    AlertManager::alertByWindow(window(), {tr("确定")}, candidate->logo(), shownName, refusal,
                                AlertManager::InformationalStyle, nullptr, options);
}

void MainViewController::makeSystemDisk()
{
    m_afterRun = AfterRun::None;
    clearFinishedRun();
    showInstallerImage(m_macOSModel->logo());
    macOSInfoLabel->setText(QStringLiteral("%1 %2").arg(ForeignText::bounded(m_macOSModel->name()),
                                                        ForeignText::bounded(m_macOSModel->version())));
    recheckChoices();
}

void MainViewController::clearFinishedRun()
{
    if (m_jobRunning)
        return;
    statusLabel->clear();
    ejectButton->setVisible(false);
    m_madeDrive.clear();
}

void MainViewController::makeAction()
{
    if (!m_diskModel || !m_macOSModel || !choicesPassChecks())
        return;
    // The drive named in the confirmation is the one erased, whatever the pop-up shows by the time the user
    // answers.
    const DiskModelPtr confirmed = m_diskModel;
    QString text = tr("【%1】驱动器即将被格式化，数据将丢失!").arg(ForeignText::bounded(confirmed->name()));
    if (const QString summary = confirmed->deviceSummary(); !summary.isEmpty())
        text += QLatin1Char('\n') + ForeignText::bounded(summary);
    // One key must never erase a drive: Return and Escape both answer Cancel, and the erasing button looks
    // like what it does.
    AlertOptions options;
    options.defaultButton = 1;
    options.cancelButton = 1;
    options.destructiveButton = 0;
    // An update notice would end the application: from here to the run's result it waits.
    m_holdingNotices = true;
    QPointer<MainViewController> self(this);
    AlertManager::alertByWindow(
        window(), {tr("立刻创建"), tr("取消")}, QImage(), tr("温馨提示"), text,
        AlertManager::InformationalStyle,
        [self, confirmed](int64_t response) {
            if (!self)
                return;
            if (response == AlertManager::FirstButtonReturn)
                self->startJob(confirmed);
            else
                self->releaseNotices();
        },
        options);
}

void MainViewController::startJob(const DiskModelPtr &drive)
{
    const MacOSModelPtr installer = m_macOSModel;
    if (!installer)
        return releaseNotices();
    setJobRunning(true, tr("正在将 macOS 安装器写入驱动器"));
    m_afterRun = AfterRun::None;
    m_diskModel = drive;
    m_confirmedName = describedDrive(*drive);
    makeMacOSButton->setText(tr("正在创建..."));
    tipsLabel->setText(tr("正在格式化驱动器，请耐心等待..."));
    // From here to the end the ring stands over the panel.
    showRunningRing();
    startHintLabel->clear();
    ejectButton->setVisible(false);
    m_runClock.start();
    // The checks before the erase run first; on the erased drive the job waits for the go-ahead, which the
    // window gives with installMacOSWithMacOSModel.
    m_viewModel->createInstallerDrive(installer, drive, DiskutilViewModel::AfterErase::WaitForGoAhead);
}

QString MainViewController::refusalText(const CreationPreflight::Result &result, const DiskModel &drive)
{
    switch (result.refusal) {
    case CreationPreflight::Refusal::DriveGone:
        return tr("找不到驱动器【%1】，请重新插入后再试。").arg(ForeignText::bounded(drive.name()));
    case CreationPreflight::Refusal::InstallerOnDrive:
        return tr("安装文件位于将被格式化的驱动器上，请先将其拷贝到其他位置。");
    case CreationPreflight::Refusal::ToolCannotRun:
        return tr("该安装文件的制作工具无法在本机运行，驱动器未被改动。");
    case CreationPreflight::Refusal::DriveTooSmall:
        return tr("驱动器容量不足：需要 %1，该驱动器只有 %2。")
            .arg(BaseModel::fileSizeString(static_cast<int64_t>(result.needed)),
                 BaseModel::fileSizeString(static_cast<int64_t>(result.capacity)));
    case CreationPreflight::Refusal::NoMountPoint:
        return tr("/Volumes 下已没有可用于新驱动器的装载位置，驱动器未被改动。");
    case CreationPreflight::Refusal::None:
        break;
    }
    return {};
}

QString MainViewController::failureText(const DiskutilViewModel::Failure &failure, const DiskModel &drive)
{
    using Kind = DiskutilViewModel::Failure::Kind;
    switch (failure.kind) {
    case Kind::Refused:
        return refusalText(failure.check, drive);
    case Kind::AuthorizationRefused:
        return tr("未获得管理员授权。");
    case Kind::ToolError: {
        // The tool's own words, quoted as one sentence of ours.
        QString said = failure.detail.trimmed();
        if (said.startsWith(QLatin1String("Error:"), Qt::CaseInsensitive))
            said = said.mid(6).trimmed();
        while (!said.isEmpty() && QStringLiteral(".。!！").contains(said.back()))
            said.chop(1);
        return tr("制作工具报告错误：“%1”。").arg(ForeignText::bounded(said));
    }
    case Kind::VerificationFailed:
        return tr("校验发现驱动器上的“%1”与安装文件不一致。").arg(ForeignText::bounded(failure.detail));
    case Kind::ToolStillRunning:
        return tr("制作工具未能停止，可能仍在写入驱动器；请勿拔出驱动器。");
    case Kind::Cancelled:
    case Kind::NoSpace:
    case Kind::Unknown:
    case Kind::None:
        break;
    }
    return tr("请确保驱动器有足够的储存空间。");
}

void MainViewController::showFailure(const QString &cause, const QString &consequence)
{
    // The desktop notice is short; the alert the user comes back to says what it means for the drive.
    noticeResult(tr("macOS引导安装器创建失败"), cause);
    const QString text = consequence.isEmpty() ? cause : cause + QLatin1Char('\n') + consequence;
    QPointer<MainViewController> self(this);
    AlertManager::alertByWindow(window(), {tr("确定")}, QImage(), tr("macOS引导安装器创建失败"), text,
                                AlertManager::InformationalStyle, [self](int64_t) {
                                    if (!self)
                                        return;
                                    self->circularProgress->setHidden(true);
                                    self->releaseNotices();
                                });
}

QString MainViewController::describedDrive(const DiskModel &drive)
{
    QString which = QStringList{drive.vendor(), drive.model()}.join(QLatin1Char(' ')).simplified();
    if (which.isEmpty())
        which = drive.deviceNode();
    const QString name = ForeignText::bounded(drive.name());
    return which.isEmpty() ? name : tr("%1（%2）").arg(name, ForeignText::bounded(which));
}

QString MainViewController::popUpTitle(const DiskModel &drive)
{
    // A drive a run left unfinished says so, so it is never taken for a working installer drive.
    const QString name = ForeignText::bounded(drive.name());
    return drive.isIncompleteInstaller() ? tr("%1（未完成）").arg(name) : name;
}

QString MainViewController::runDriveName() const
{
    // The job follows the drive it writes wherever the tools mount it: its record names the drive now,
    // even when another drive had the installer's name.
    if (m_runDrive)
        return m_runDrive->volume().section(QLatin1Char('/'), -1);
    return m_diskModel ? m_diskModel->name() : QString();
}

void MainViewController::returnToChoosing(AfterRun how)
{
    setJobRunning(false);
    m_afterRun = how;
    // A run that failed leaves its installer chosen, and the window keeps showing it.
    if (how == AfterRun::Succeeded || !m_macOSModel) {
        macOSInfoLabel->setText(QString());
        showAddImage();
    }
    tipsLabel->setText(QString());
    makeMacOSButton->setText(tr("开始创建"));
    // The drives are read again now that nothing writes them: one the run left half-made says so, and one
    // that went away stops being the choice.
    if (how == AfterRun::Stopped)
        m_viewModel->diskutilList();
    recheckChoices();
}

void MainViewController::jobCompleted(const DiskutilResult &result)
{
    switch (result.kind) {
    case DiskutilResult::Kind::Drives:
        m_dataArray = result.drives;
        return updateDiskList();
    case DiskutilResult::Kind::Erased:
        // The go-ahead for the create step, with the erased drive's record.
        tipsLabel->setText(tr("等待授权..."));
        m_runDrive = result.drive;
        return m_viewModel->installMacOSWithMacOSModel(m_macOSModel, result.drive);
    case DiskutilResult::Kind::Yes:
    case DiskutilResult::Kind::No:
        break;
    }
    const bool succeeded = result.kind == DiskutilResult::Kind::Yes;
    // A question about cancelling is moot once the run has ended.
    if (m_cancelAlert)
        delete m_cancelAlert;
    circularProgress->setIsCancellable(false);
    if (!succeeded && m_viewModel->lastFailure().kind == DiskutilViewModel::Failure::Kind::Cancelled)
        return finishCancelled();
    setJobRunning(false);
    if (succeeded) {
        // Named as the user chose it: the drive made, whatever it is called now.
        noticeResult(tr("macOS引导安装器创建完成"),
                     tr("安装器已写入驱动器【%1】并通过校验。").arg(m_confirmedName));
        // Where the drive can be taken out safely, outside the alert: ejecting it first.
        m_madeDrive = m_runDrive ? m_runDrive->volumePath() : QByteArray();
        statusLabel->setText((result.recorded
                                  ? tr("驱动器【%1】已制作完成。请先推出驱动器，再将其拔出。")
                                  : tr("驱动器【%1】已制作完成，但未能在其上保存校验记录，以后无法"
                                       "重新检查。请先推出驱动器，再将其拔出。"))
                                 .arg(ForeignText::bounded(runDriveName())));
        ejectButton->setVisible(!m_madeDrive.isEmpty());
        updateDiskList();
        m_diskModel.reset();
        m_macOSModel.reset();
        updateUI();
        AlertOptions options;
        options.cancelButton = 1;
        QPointer<MainViewController> self(this);
        AlertManager::alertByWindow(
            window(), {tr("打开"), tr("暂不安装")}, QImage(), tr("macOS引导安装器创建完成"),
            tr("是否打开安装教程，开始安装系统"), AlertManager::InformationalStyle,
            [self](int64_t response) {
                if (!self)
                    return;
                // The finished ring would otherwise cover the controls under it; the next thing to do is
                // to take the drive out.
                self->circularProgress->setHidden(true);
                if (self->ejectButton->isVisible())
                    self->ejectButton->setFocus();
                const auto answered = [self] {
                    if (self)
                        self->releaseNotices();
                };
                if (response == AlertManager::FirstButtonReturn)
                    LinkOpener::open(self->window(), tutorialUrl().toString(), answered);
                else
                    answered();
            },
            options);
    } else {
        // The ring stops at once: nothing runs any more behind the failure's alert.
        circularProgress->setHidden(true);
        statusLabel->clear();
        const DiskutilViewModel::Failure &failure = m_viewModel->lastFailure();
        const DiskModelPtr drive = m_runDrive ? m_runDrive : m_diskModel;
        // The drive is named as the user knew it when confirming, not by the name the erase gave it.
        showFailure(failureText(failure, drive ? *drive : DiskModel()),
                    failure.driveIncomplete
                        ? tr("驱动器【%1】上的安装器不完整，需要重新创建。").arg(m_confirmedName)
                        : QString());
    }
    m_runDrive.reset();
    returnToChoosing(succeeded ? AfterRun::Succeeded : AfterRun::Stopped);
}

void MainViewController::showStatus()
{
    statusLabel->setText(m_runStatus.text());
}

void MainViewController::jobProgressed(double progress)
{
    if (m_jobRunning) {
        m_runStatus.copied(progress, m_viewModel->lastCheck().installerBytes, m_runClock.elapsed());
        showStatus();
    }
    const bool measured = progress > 0.0001 && progress <= 1.0;
    // Once the first share of the copy has been measured the ring shows it; before that, in a running job,
    // it keeps spinning.
    if (measured && circularProgress->isIndeterminate())
        circularProgress->setIsIndeterminate(false);
    circularProgress->setProgress(progress);
    if (measured) {
        tipsLabel->setText(QString());
        circularProgress->setHidden(false);
    } else if (!(m_jobRunning && circularProgress->isIndeterminate() && progress <= 0.0001)) {
        circularProgress->setHidden(true);
    }
}

void MainViewController::jobVerificationRead(qint64 bytesDone, qint64 bytesTotal)
{
    m_runStatus.verified(bytesDone, bytesTotal, m_runClock.elapsed());
    showStatus();
}

void MainViewController::jobStateChanged(DiskutilState state)
{
    m_runStatus.enter(m_jobRunning ? state : DiskutilState::Idle, ::geteuid() == 0);
    showStatus();
    // Once the creation tool runs, nobody waits for authorization any more.
    if (state == DiskutilState::Creating && m_jobRunning)
        tipsLabel->setText(QString());
    if (state == DiskutilState::Verifying) {
        tipsLabel->setText(tr("正在校验..."));
        // The copy's share means nothing here: the ring spins without a percentage until the check passes.
        circularProgress->setIsIndeterminate(true);
        circularProgress->setProgress(0);
        circularProgress->setHidden(false);
    }
    // The other states' texts and the ring are set where each begins: the confirmation, the erased drive,
    // the result.
}

void MainViewController::confirmCancel(bool thenQuit)
{
    if (!m_jobRunning || m_cancelling)
        return;
    if (m_cancelAlert) {
        m_quitAfterCancel = m_quitAfterCancel || thenQuit;
        return;
    }
    const QString &name = m_confirmedName;
    const bool checking = isCheckingDrive();
    // Going on is what Escape answers.
    AlertOptions options;
    options.cancelButton = 0;
    QPointer<MainViewController> self(this);
    m_cancelAlert = AlertManager::alertByWindow(
        window(),
        checking ? QStringList{tr("继续校验"), tr("停止校验")} : QStringList{tr("继续创建"), tr("取消创建")},
        QImage(), checking ? tr("确定要停止校验吗？") : tr("确定要取消创建吗？"),
        checking ? tr("校验只读取驱动器【%1】，停止不会改动其中的内容。").arg(name)
                 : tr("驱动器【%1】上的内容将不完整，需要重新创建。").arg(name),
        AlertManager::InformationalStyle,
        [self, thenQuit](int64_t response) {
            if (!self)
                return;
            if (response != AlertManager::FirstButtonReturn + 1) {
                self->m_quitAfterCancel = false;
                return;
            }
            self->m_quitAfterCancel = self->m_quitAfterCancel || thenQuit;
            self->cancelJob();
        },
        options);
    m_quitAfterCancel = thenQuit;
}

void MainViewController::cancelJob()
{
    if (!m_jobRunning || m_cancelling)
        return;
    m_cancelling = true;
    circularProgress->cancelProgress();
    if (isCheckingDrive())
        m_driveCheck->cancel();
    else
        m_viewModel->cancel();
}

void MainViewController::finishCancelled()
{
    m_runDrive.reset();
    m_cancelling = false;
    // The choices stay; a new pick starts again.
    returnToChoosing(AfterRun::Stopped);
    if (m_quitAfterCancel) {
        m_quitAfterCancel = false;
        window()->close();
        return;
    }
    const QString text = tr("驱动器【%1】上的安装器不完整，可重新开始创建。").arg(m_confirmedName);
    noticeResult(tr("已取消创建"), text);
    QPointer<MainViewController> self(this);
    AlertManager::alertByWindow(window(), {tr("确定")}, QImage(), tr("已取消创建"), text,
                                AlertManager::InformationalStyle, [self](int64_t) {
                                    if (!self)
                                        return;
                                    self->circularProgress->setHidden(true);
                                    self->releaseNotices();
                                });
}

void MainViewController::verifyDrive()
{
    if (m_jobRunning || !m_diskModel || m_diskModel->volume().isEmpty())
        return;
    if (!m_driveCheck) {
        m_driveCheck = new DriveCheck(this);
        connect(m_driveCheck, &DriveCheck::progressed, this, &MainViewController::driveCheckRead);
        connect(m_driveCheck, &DriveCheck::finished, this, &MainViewController::driveCheckFinished);
    }
    const DiskModelPtr drive = m_diskModel;
    clearFinishedRun();
    setJobRunning(true, tr("正在校验驱动器"));
    // The update notice would end the application in the middle of the check; it waits for the answer.
    m_holdingNotices = true;
    m_confirmedName = describedDrive(*drive);
    startHintLabel->clear();
    tipsLabel->setText(tr("正在校验..."));
    cancelRunButton->setText(tr("停止校验"));
    cancelRunButton->setAccessibleDescription(tr("停止正在进行的校验（Esc）"));
    showRunningRing();
    m_runClock.start();
    m_runStatus.enterCheck();
    showStatus();
    m_driveCheck->start(drive->volumePath(), drive->deviceNumber());
}

void MainViewController::driveCheckRead(qint64 bytesDone, qint64 bytesTotal)
{
    if (bytesTotal <= 0 || m_cancelling)
        return;
    m_runStatus.verified(bytesDone, bytesTotal, m_runClock.elapsed());
    showStatus();
    // The ring reaches its end, and its checkmark, only once the drive is found intact.
    circularProgress->setIsIndeterminate(false);
    circularProgress->setProgress(
        std::min(0.99, static_cast<double>(bytesDone) / static_cast<double>(bytesTotal)));
}

void MainViewController::driveCheckFinished(const DriveCheck::Result &result)
{
    using Outcome = DriveCheck::Result::Outcome;
    if (m_cancelAlert)
        delete m_cancelAlert;
    circularProgress->setIsCancellable(false);
    m_cancelling = false;
    m_runStatus.enter(DiskutilState::Idle, false);
    showStatus();
    tipsLabel->clear();
    // The button speaks of a run again, in the layout's own words.
    cancelRunButton->setText(QCoreApplication::translate("MainWindow", "取消创建"));
    cancelRunButton->setAccessibleDescription(
        QCoreApplication::translate("MainWindow", "停止正在进行的创建（Esc）"));
    setJobRunning(false);
    updateUI();
    if (result.outcome == Outcome::Cancelled) {
        circularProgress->setHidden(true);
        if (std::exchange(m_quitAfterCancel, false))
            window()->close();
        return releaseNotices();
    }
    if (result.outcome == Outcome::Intact) {
        circularProgress->setIsIndeterminate(false);
        circularProgress->setProgress(1.0);
    } else {
        circularProgress->setHidden(true);
    }
    const CheckReport report = checkReport(result, m_confirmedName);
    noticeResult(report.title, report.text);
    AlertOptions options;
    options.detailText = report.detail;
    QPointer<MainViewController> self(this);
    AlertManager::alertByWindow(
        window(), {tr("确定")}, QImage(), report.title, report.text, AlertManager::InformationalStyle,
        [self](int64_t) {
            if (!self)
                return;
            self->circularProgress->setHidden(true);
            self->releaseNotices();
        },
        options);
}

namespace {

// Items named in an alert, one a line: the first of them, then how many more there are.
QString namedItems(const QStringList &items)
{
    QStringList lines;
    for (qsizetype i = 0; i < std::min(items.size(), DriveCheck::Named); ++i)
        lines << ForeignText::bounded(items[i], 120);
    if (items.size() > DriveCheck::Named)
        lines << MainViewController::tr("以及另外 %1 项").arg(items.size() - DriveCheck::Named);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

MainViewController::CheckReport MainViewController::checkReport(const DriveCheck::Result &result,
                                                                const QString &drive)
{
    using Outcome = DriveCheck::Result::Outcome;
    using Refusal = platform::DriveRecord::Refusal;
    CheckReport report;
    QString installer, made;
    if (result.made) {
        installer =
            QStringLiteral("%1 %2")
                .arg(ForeignText::bounded(result.made->installer), ForeignText::bounded(result.made->version))
                .simplified();
        made = DriveCheck::localTime(result.made->made);
    }
    if (!result.added.isEmpty())
        report.detail = tr("制作后新增了 %1 项，不影响安装器：").arg(result.added.size()) +
                        QLatin1Char('\n') + namedItems(result.added);
    switch (result.outcome) {
    case Outcome::Intact:
        report.title = tr("驱动器完好");
        report.text = tr("驱动器【%1】上的 %2 与 %3 制作时一致。").arg(drive, installer, made);
        return report;
    case Outcome::Damaged: {
        // The verifier's reasons, in the interface's language.
        const QHash<QString, QString> reasons = {
            {QStringLiteral("is missing"), tr("缺失")},
            {QStringLiteral("is of another kind"), tr("类型不同")},
            {QStringLiteral("links elsewhere"), tr("链接指向不同")},
            {QStringLiteral("has other permissions"), tr("权限不同")},
            {QStringLiteral("has another size"), tr("大小不同")},
            {QStringLiteral("has other content"), tr("内容不同")},
        };
        QStringList changed;
        for (const DriveCheck::Difference &difference : result.changed)
            changed << tr("%1（%2）")
                           .arg(difference.path,
                                reasons.value(difference.reason, ForeignText::bounded(difference.reason)));
        report.title = tr("驱动器已被改动");
        report.text = tr("驱动器【%1】上的 %2 自 %3 制作以来，有 %4 项缺失或不同：")
                          .arg(drive, installer, made)
                          .arg(result.changed.size()) +
                      QLatin1Char('\n') + namedItems(changed);
        return report;
    }
    case Outcome::Refused:
    case Outcome::Cancelled:
        break;
    }
    report.title = tr("无法校验驱动器");
    switch (result.refusal) {
    case DriveCheck::Result::Refusal::DriveGone:
        report.text = tr("驱动器【%1】已不在原来的位置，未读取任何内容。").arg(drive);
        break;
    case DriveCheck::Result::Refusal::NoRecord:
        switch (result.record) {
        case Refusal::Missing:
            report.text = tr("驱动器【%1】上没有制作记录，无法校验。").arg(drive);
            break;
        case Refusal::NotOurs:
            report.text = tr("驱动器【%1】上的制作记录不是 BootDrive 写下的。").arg(drive);
            break;
        case Refusal::TooLarge:
            report.text = tr("驱动器【%1】上的制作记录过大。").arg(drive);
            break;
        case Refusal::UnknownVersion:
            report.text = tr("驱动器【%1】上的制作记录来自其他版本的 BootDrive，无法识别。").arg(drive);
            break;
        case Refusal::PathOutside:
            report.text = tr("驱动器【%1】上的制作记录指向驱动器以外的位置。").arg(drive);
            break;
        case Refusal::Damaged:
        case Refusal::None:
            report.text = tr("驱动器【%1】上的制作记录已损坏。").arg(drive);
            break;
        }
        break;
    case DriveCheck::Result::Refusal::Unreadable:
    case DriveCheck::Result::Refusal::None:
        report.text =
            tr("无法读取驱动器【%1】上的“%2”：%3")
                .arg(drive, ForeignText::bounded(result.path, 120), ForeignText::bounded(result.reason));
        break;
    }
    return report;
}

void MainViewController::showRecordOf(const DiskModelPtr &disk, int key, uint64_t generation)
{
    const QByteArray volume = disk->volumePath();
    const dev_t device = disk->deviceNumber();
    // A drive may answer slowly, or hold a record as large as its bound: the row shows it when it comes.
    QtConcurrent::run([volume, device] {
        return DriveCheck::madeOf(volume, device);
    }).then(this, [this, disk, key, generation](const std::optional<DriveCheck::Made> &made) {
        const int index = diskListPopUpButton->findData(key);
        if (!made || generation != m_popUpGeneration || index < 0)
            return;
        const QString record =
            tr("%1，%2 制作")
                .arg(QStringLiteral("%1 %2")
                         .arg(ForeignText::bounded(made->installer), ForeignText::bounded(made->version))
                         .simplified(),
                     DriveCheck::localTime(made->made));
        const QString summary = ForeignText::bounded(disk->deviceSummary());
        const QString line = summary.isEmpty() ? record : record + QStringLiteral(" · ") + summary;
        diskListPopUpButton->setItemData(index, ForeignText::toolTip(line), Qt::ToolTipRole);
        diskListPopUpButton->setItemData(index, line, DriveItemDelegate::SecondaryTextRole);
        diskListPopUpButton->setItemData(index, line, Qt::AccessibleDescriptionRole);
    });
}

void MainViewController::ejectMadeDrive()
{
    if (m_madeDrive.isEmpty())
        return;
    const QByteArray drive = m_madeDrive;
    const QString name = QFile::decodeName(drive.mid(drive.lastIndexOf('/') + 1));
    ejectButton->setEnabled(false);
    statusLabel->setText(tr("正在推出驱动器【%1】…").arg(name));
    QPointer<MainViewController> self(this);
    // The disk utility unmounts every mount of the drive and writes out what is still cached.
    DiskutilViewModel::runDiskutil(
        QStringLiteral("eject ") + DiskutilViewModel::shellQuoted(drive),
        [self, name](bool succeeded, const QString &error) {
            if (!self)
                return;
            self->ejectButton->setEnabled(true);
            if (succeeded) {
                self->ejectButton->setVisible(false);
                self->m_madeDrive.clear();
                self->statusLabel->setText(tr("现在可以安全地拔出驱动器【%1】。").arg(name));
            } else {
                self->statusLabel->setText(tr("未能推出驱动器【%1】。%2").arg(name, error));
            }
        });
}

void MainViewController::setJobRunning(bool running, const QString &activity)
{
    m_jobRunning = running;
    cancelRunButton->setVisible(running);
    otherDrivesPanel->setSuspended(running);
    selectMacOSButton->setEnabled(!running);
    diskListPopUpButton->setEnabled(!running);
    if (running)
        makeMacOSButton->setEnabled(false);
    verifyDriveAction->setEnabled(!running && m_diskModel);
    // A machine that sleeps in the middle of a write leaves a half-made drive.
    if (running)
        m_sleepInhibitor.acquire(activity);
    else
        m_sleepInhibitor.release();
}

void MainViewController::showRunningRing()
{
    // Spinning while the progress is not known; the cancel button shows on hover.
    circularProgress->resetProgress();
    circularProgress->setIsCancellable(true);
    circularProgress->setIsIndeterminate(true);
    circularProgress->setHidden(false);
}

bool MainViewController::isWindowActive() const
{
    // The window's own alerts are windows of their own; the user is here while one of them is active.
    for (const QWidget *active = QApplication::activeWindow(); active; active = active->parentWidget())
        if (active == window())
            return true;
    return false;
}

void MainViewController::noticeResult(const QString &summary, const QString &body)
{
    if (!isWindowActive())
        m_notifier.notify(summary, body, QStringLiteral("drive-removable-media"), tr("显示"));
}

void MainViewController::bringToFront()
{
    QWidget *top = window();
    top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    top->show();
    top->raise();
    top->activateWindow();
}

void MainViewController::closeEvent(QCloseEvent *event)
{
    // A window closed in the middle of a run would leave a half-made drive behind without a word: the user
    // is asked, and the window closes once the run has stopped.
    if (m_jobRunning) {
        event->ignore();
        confirmCancel(true);
        return;
    }
    QWidget::closeEvent(event);
}
