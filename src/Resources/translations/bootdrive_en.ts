<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AlertManager</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>继续创建</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>此操作会抹掉数据，且无法撤销</source>
        <translation>This erases data and cannot be undone</translation>
    </message>
</context>
<context>
    <name>CircularProgress</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>停止正在进行的任务</source>
        <translation>Stops the task in progress</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
</context>
<context>
    <name>FileViewItem</name>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>下载 %1</source>
        <translation>Download %1</translation>
    </message>
    <message>
        <source>在浏览器中打开 %1 %2 的下载页面</source>
        <translation>Opens the download page of %1 %2 in the browser</translation>
    </message>
</context>
<context>
    <name>LinkOpener</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>无法打开链接</source>
        <translation>The Link Cannot Be Opened</translation>
    </message>
    <message>
        <source>没有可以打开网页的程序。请将下面的地址复制到浏览器中打开：</source>
        <translation>No program on this computer opens web pages. Copy the address below into a browser:</translation>
    </message>
</context>
<context>
    <name>MainViewController</name>
    <message>
        <source>下载新版本</source>
        <translation>Download the New Version</translation>
    </message>
    <message>
        <source>温馨提示</source>
        <translation>Please Note</translation>
    </message>
    <message>
        <source>为了您更好了体验，请更新至最新版本。</source>
        <translation>For a better experience, please update to the latest version.</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>系统安装文件不可用</source>
        <translation>This installer cannot be used.</translation>
    </message>
    <message>
        <source>系统安装文件不能在Applications目录下，您可以将系统安装文件拷贝至桌面</source>
        <translation>The installer must not be in the Applications folder. You can copy it to the Desktop.</translation>
    </message>
    <message>
        <source>请将系统安装文件拷贝在Applications目录下</source>
        <translation>Please copy the installer into the Applications folder.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>【%1】驱动器即将被格式化，数据将丢失!</source>
        <translation>The drive “%1” is about to be erased. Its data will be lost!</translation>
    </message>
    <message>
        <source>立刻创建</source>
        <translation>Create Now</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在创建...</source>
        <translation>Creating...</translation>
    </message>
    <message>
        <source>正在格式化驱动器，请耐心等待...</source>
        <translation>Erasing the drive, please wait...</translation>
    </message>
    <message>
        <source>macOS引导安装器创建失败</source>
        <translation>Creating the macOS boot installer failed</translation>
    </message>
    <message>
        <source>开始创建</source>
        <translation>Start Creating</translation>
    </message>
    <message>
        <source>等待授权...</source>
        <translation>Waiting for authorization...</translation>
    </message>
    <message>
        <source>macOS引导安装器创建完成</source>
        <translation>The macOS boot installer is ready</translation>
    </message>
    <message>
        <source>安装器已写入驱动器【%1】并通过校验。</source>
        <translation>The installer was written to the drive “%1” and verified.</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>暂不安装</source>
        <translation>Not Now</translation>
    </message>
    <message>
        <source>是否打开安装教程，开始安装系统</source>
        <translation>Open the installation tutorial and start installing macOS?</translation>
    </message>
    <message>
        <source>正在校验...</source>
        <translation>Verifying...</translation>
    </message>
    <message>
        <source>继续创建</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>取消创建</source>
        <translation>Stop Creating</translation>
    </message>
    <message>
        <source>确定要取消创建吗？</source>
        <translation>Stop creating the installer?</translation>
    </message>
    <message>
        <source>驱动器【%1】上的内容将不完整，需要重新创建。</source>
        <translation>The contents of the drive “%1” will be incomplete and will have to be created again.</translation>
    </message>
    <message>
        <source>已取消创建</source>
        <translation>Creation stopped</translation>
    </message>
    <message>
        <source>驱动器【%1】上的安装器不完整，可重新开始创建。</source>
        <translation>The installer on the drive “%1” is incomplete. You can start creating it again.</translation>
    </message>
    <message>
        <source>正在将 macOS 安装器写入驱动器</source>
        <translation>Writing a macOS installer to a drive</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>%1（未完成）</source>
        <translation>%1 (incomplete)</translation>
    </message>
    <message>
        <source>驱动器【%1】上的安装器不完整，需要重新创建。</source>
        <translation>The installer on the drive “%1” is incomplete and has to be created again.</translation>
    </message>
    <message>
        <source>没有可用的驱动器。请插入 U 盘并装载到 /Volumes 下，例如：
sudo mount --mkdir /dev/sdb1 /Volumes/USB</source>
        <translation>No drive is available. Plug in a USB drive and mount it below /Volumes, for example:
sudo mount --mkdir /dev/sdb1 /Volumes/USB</translation>
    </message>
    <message>
        <source>推出所选驱动器</source>
        <translation>Eject the Chosen Drive</translation>
    </message>
    <message>
        <source>选择驱动器或安装文件后可重新开始。</source>
        <translation>Choose the drive or the installer again to start again.</translation>
    </message>
    <message>
        <source>请先选择系统安装文件。</source>
        <translation>Choose a macOS installer first.</translation>
    </message>
    <message>
        <source>请先插入并装载一个 U 盘。</source>
        <translation>Plug in and mount a USB drive first.</translation>
    </message>
    <message>
        <source>请选择目标驱动器。</source>
        <translation>Choose the target drive.</translation>
    </message>
    <message>
        <source>正在检查安装文件和驱动器…</source>
        <translation>Checking the installer and the drive…</translation>
    </message>
    <message>
        <source>驱动器【%1】已制作完成。请先推出驱动器，再将其拔出。</source>
        <translation>The drive “%1” is ready. Eject it before you unplug it.</translation>
    </message>
    <message>
        <source>驱动器【%1】已制作完成，但未能在其上保存校验记录，以后无法重新检查。请先推出驱动器，再将其拔出。</source>
        <translation>The drive “%1” is ready, but its verification record could not be saved on it, so it cannot be re-checked later. Eject it before you unplug it.</translation>
    </message>
    <message>
        <source>正在推出驱动器【%1】…</source>
        <translation>Ejecting the drive “%1”…</translation>
    </message>
    <message>
        <source>现在可以安全地拔出驱动器【%1】。</source>
        <translation>You can now safely unplug the drive “%1”.</translation>
    </message>
    <message>
        <source>未能推出驱动器【%1】。%2</source>
        <translation>The drive “%1” could not be ejected. %2</translation>
    </message>
    <message>
        <source>没有可用的驱动器</source>
        <translation>No drive available</translation>
    </message>
    <message>
        <source>请选择目标驱动器</source>
        <translation>Choose a target drive</translation>
    </message>
    <message>
        <source>macOS 安装程序</source>
        <translation>macOS installers</translation>
    </message>
    <message>
        <source>“%1”不是可以制作启动盘的安装程序。</source>
        <translation>“%1” is not an installer BootDrive can make a boot drive of.</translation>
    </message>
    <message>
        <source>请选择 Install macOS Catalina、Mojave、High Sierra、Sierra 或 Install OS X El Capitan，可从右侧列表下载。</source>
        <translation>Choose Install macOS Catalina, Mojave, High Sierra or Sierra, or Install OS X El Capitan; you can download them from the list on the right.</translation>
    </message>
    <message>
        <source>正在载入系统镜像列表…</source>
        <translation>Loading the list of system images…</translation>
    </message>
    <message>
        <source>%1 秒后将自动重试。</source>
        <translation>Trying again in %1 s.</translation>
    </message>
    <message>
        <source>服务器返回了错误（HTTP %1）。</source>
        <translation>The server answered with an error (HTTP %1).</translation>
    </message>
    <message>
        <source>服务器返回了错误（代码 %1）。</source>
        <translation>The server answered with an error (code %1).</translation>
    </message>
    <message>
        <source>服务器返回了错误：“%1”。</source>
        <translation>The server answered with an error: “%1”.</translation>
    </message>
    <message>
        <source>服务器的回答无法识别。</source>
        <translation>The server’s answer could not be read.</translation>
    </message>
    <message>
        <source>无法连接到服务器。</source>
        <translation>Cannot connect to the server.</translation>
    </message>
    <message>
        <source>“%1”不是 macOS 安装程序：其中没有 Contents/Info.plist 文件。</source>
        <translation>“%1” is not a macOS installer: it has no Contents/Info.plist file.</translation>
    </message>
    <message>
        <source>“%1”不是 macOS 安装程序：它的 Contents/Info.plist 中没有显示名称（CFBundleDisplayName）。</source>
        <translation>“%1” is not a macOS installer: its Contents/Info.plist has no display name (CFBundleDisplayName).</translation>
    </message>
    <message>
        <source>找不到驱动器【%1】，请重新插入后再试。</source>
        <translation>The drive “%1” cannot be found. Reconnect it and try again.</translation>
    </message>
    <message>
        <source>安装文件位于将被格式化的驱动器上，请先将其拷贝到其他位置。</source>
        <translation>The installer lies on the drive that would be erased. Copy it somewhere else first.</translation>
    </message>
    <message>
        <source>该安装文件的制作工具无法在本机运行，驱动器未被改动。</source>
        <translation>This installer’s creation tool cannot run on this computer. The drive was not changed.</translation>
    </message>
    <message>
        <source>驱动器容量不足：需要 %1，该驱动器只有 %2。</source>
        <translation>The drive is too small: %1 is needed, but it holds only %2.</translation>
    </message>
    <message>
        <source>/Volumes 下已没有可用于新驱动器的装载位置，驱动器未被改动。</source>
        <translation>No mount point below /Volumes is free for the new drive. The drive was not changed.</translation>
    </message>
    <message>
        <source>未获得管理员授权。</source>
        <translation>Administrator authorization was not granted.</translation>
    </message>
    <message>
        <source>制作工具报告错误：“%1”。</source>
        <translation>The creation tool reported an error: “%1”.</translation>
    </message>
    <message>
        <source>校验发现驱动器上的“%1”与安装文件不一致。</source>
        <translation>Verification found that “%1” on the drive differs from the installer.</translation>
    </message>
    <message>
        <source>制作工具未能停止，可能仍在写入驱动器；请勿拔出驱动器。</source>
        <translation>The creation tool could not be stopped and may still be writing to the drive. Do not unplug the drive.</translation>
    </message>
    <message>
        <source>请确保驱动器有足够的储存空间。</source>
        <translation>Make sure the drive has enough storage space.</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>校验驱动器</source>
        <translation>Verify Drive</translation>
    </message>
    <message>
        <source>正在校验驱动器</source>
        <translation>Checking a drive</translation>
    </message>
    <message>
        <source>继续校验</source>
        <translation>Continue Checking</translation>
    </message>
    <message>
        <source>停止校验</source>
        <translation>Stop Checking</translation>
    </message>
    <message>
        <source>停止正在进行的校验（Esc）</source>
        <translation>Stop the check under way (Esc)</translation>
    </message>
    <message>
        <source>确定要停止校验吗？</source>
        <translation>Stop checking the drive?</translation>
    </message>
    <message>
        <source>校验只读取驱动器【%1】，停止不会改动其中的内容。</source>
        <translation>The check only reads the drive “%1”; stopping it changes nothing on it.</translation>
    </message>
    <message>
        <source>以及另外 %1 项</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>制作后新增了 %1 项，不影响安装器：</source>
        <translation>Added since the drive was made (%1; they leave the installer whole):</translation>
    </message>
    <message>
        <source>驱动器完好</source>
        <translation>The Drive Is Intact</translation>
    </message>
    <message>
        <source>驱动器【%1】上的 %2 与 %3 制作时一致。</source>
        <translation>%2 on the drive “%1” is as it was when the drive was made on %3.</translation>
    </message>
    <message>
        <source>缺失</source>
        <translation>missing</translation>
    </message>
    <message>
        <source>类型不同</source>
        <translation>of another kind</translation>
    </message>
    <message>
        <source>链接指向不同</source>
        <translation>links elsewhere</translation>
    </message>
    <message>
        <source>权限不同</source>
        <translation>other permissions</translation>
    </message>
    <message>
        <source>大小不同</source>
        <translation>another size</translation>
    </message>
    <message>
        <source>内容不同</source>
        <translation>other content</translation>
    </message>
    <message>
        <source>驱动器已被改动</source>
        <translation>The Drive Has Changed</translation>
    </message>
    <message>
        <source>驱动器【%1】上的 %2 自 %3 制作以来，有 %4 项缺失或不同：</source>
        <translation>Since %2 was put on the drive “%1” on %3, %4 of its items have gone missing or changed:</translation>
    </message>
    <message>
        <source>无法校验驱动器</source>
        <translation>The Drive Cannot Be Checked</translation>
    </message>
    <message>
        <source>驱动器【%1】已不在原来的位置，未读取任何内容。</source>
        <translation>The drive “%1” is no longer where it was; nothing was read.</translation>
    </message>
    <message>
        <source>驱动器【%1】上没有制作记录，无法校验。</source>
        <translation>The drive “%1” has no record of how it was made, so it cannot be checked.</translation>
    </message>
    <message>
        <source>驱动器【%1】上的制作记录不是 BootDrive 写下的。</source>
        <translation>The record on the drive “%1” was not written by BootDrive.</translation>
    </message>
    <message>
        <source>驱动器【%1】上的制作记录过大。</source>
        <translation>The record on the drive “%1” is too large.</translation>
    </message>
    <message>
        <source>驱动器【%1】上的制作记录来自其他版本的 BootDrive，无法识别。</source>
        <translation>The record on the drive “%1” comes from another version of BootDrive and cannot be read.</translation>
    </message>
    <message>
        <source>驱动器【%1】上的制作记录指向驱动器以外的位置。</source>
        <translation>The record on the drive “%1” names a place outside the drive.</translation>
    </message>
    <message>
        <source>驱动器【%1】上的制作记录已损坏。</source>
        <translation>The record on the drive “%1” is damaged.</translation>
    </message>
    <message>
        <source>无法读取驱动器【%1】上的“%2”：%3</source>
        <translation>“%2” on the drive “%1” cannot be read: %3</translation>
    </message>
    <message>
        <source>%1，%2 制作</source>
        <translation>%1, made %2</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>制作 macOS 引导安装器</source>
        <translation>Make a macOS Boot Installer</translation>
    </message>
    <message>
        <source>所选安装文件的图标</source>
        <translation>Icon of the chosen installer</translation>
    </message>
    <message>
        <source>选择系统安装文件</source>
        <translation>Choose the macOS Installer</translation>
    </message>
    <message>
        <source>选择要写入驱动器的 macOS 安装程序</source>
        <translation>Chooses the macOS installer application to write to the drive</translation>
    </message>
    <message>
        <source>目标驱动器</source>
        <translation>Target drive</translation>
    </message>
    <message>
        <source>将被格式化并写入安装器的驱动器</source>
        <translation>The drive that will be erased and receive the installer</translation>
    </message>
    <message>
        <source>开始创建</source>
        <translation>Start Creating</translation>
    </message>
    <message>
        <source>格式化所选驱动器，并在其上创建 macOS 引导安装器</source>
        <translation>Erases the chosen drive and creates the macOS boot installer on it</translation>
    </message>
    <message>
        <source>创建过程的当前状态</source>
        <translation>What the creation is doing now</translation>
    </message>
    <message>
        <source>系统镜像下载</source>
        <translation>macOS Image Downloads</translation>
    </message>
    <message>
        <source>系统镜像列表</source>
        <translation>macOS images</translation>
    </message>
    <message>
        <source>可下载的 macOS 安装映像</source>
        <translation>macOS installer images to download</translation>
    </message>
    <message>
        <source>创建进度</source>
        <translation>Creation progress</translation>
    </message>
    <message>
        <source>写入并校验安装器的进度；按回车键或空格键可取消创建</source>
        <translation>Progress of writing and verifying the installer; Return or Space stops the creation</translation>
    </message>
    <message>
        <source>如何让驱动器出现在列表中</source>
        <translation>How to make a drive appear in the list</translation>
    </message>
    <message>
        <source>为什么现在还不能开始创建</source>
        <translation>Why creating cannot start yet</translation>
    </message>
    <message>
        <source>取消创建</source>
        <translation>Stop Creating</translation>
    </message>
    <message>
        <source>停止正在进行的创建（Esc）</source>
        <translation>Stop the creation under way (Esc)</translation>
    </message>
    <message>
        <source>当前阶段、进度、速度和剩余时间</source>
        <translation>The current step, progress, speed and time left</translation>
    </message>
    <message>
        <source>推出驱动器</source>
        <translation>Eject Drive</translation>
    </message>
    <message>
        <source>卸载刚制作好的驱动器，以便安全拔出</source>
        <translation>Unmount the drive just made, so it can be unplugged safely</translation>
    </message>
    <message>
        <source>系统镜像列表为何为空</source>
        <translation>Why the list of installers is empty</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Try Again</translation>
    </message>
    <message>
        <source>再次连接服务器，获取系统镜像列表</source>
        <translation>Connect to the server again for the list of installers</translation>
    </message>
    <message>
        <source>选择安装文件和驱动器，开始创建</source>
        <translation>Choose the installer and the drive, then start creating</translation>
    </message>
</context>
<context>
    <name>OtherDrivesPanel</name>
    <message>
        <source>以下驱动器不在 /Volumes 下，装载后即可选择：</source>
        <translation>These drives are not under /Volumes; mount one there to choose it:</translation>
    </message>
    <message>
        <source>【%1】已装载在 %2</source>
        <translation>“%1” is mounted at %2</translation>
    </message>
    <message>
        <source>【%1】尚未装载</source>
        <translation>“%1” is not mounted</translation>
    </message>
    <message>
        <source>卷标未知：无权读取该设备</source>
        <translation>Label unknown: not allowed to read the device</translation>
    </message>
    <message>
        <source>卷标未知：无法读取该设备（%1）</source>
        <translation>Label unknown: the device could not be read (%1)</translation>
    </message>
    <message>
        <source>未能装载：%1</source>
        <translation>Could not mount it: %1</translation>
    </message>
    <message>
        <source>将【%1】装载到 /Volumes</source>
        <translation>Mount “%1” under /Volumes</translation>
    </message>
    <message>
        <source>正在装载…</source>
        <translation>Mounting…</translation>
    </message>
    <message>
        <source>装载到 /Volumes</source>
        <translation>Mount under /Volumes</translation>
    </message>
</context>
<context>
    <name>RunStatus</name>
    <message>
        <source>不到 1 分钟</source>
        <translation>less than a minute</translation>
    </message>
    <message>
        <source>约 %1 分 %2 秒</source>
        <translation>about %1 min %2 s</translation>
    </message>
    <message>
        <source>约 %1 分钟</source>
        <translation>about %1 min</translation>
    </message>
    <message>
        <source>约 %1 小时 %2 分</source>
        <translation>about %1 h %2 min</translation>
    </message>
    <message>
        <source>第 1 步，共 3 步：正在格式化驱动器…</source>
        <translation>Step 1 of 3: erasing the drive…</translation>
    </message>
    <message>
        <source>第 2 步，共 3 步：正在启动制作工具…</source>
        <translation>Step 2 of 3: starting the creation tool…</translation>
    </message>
    <message>
        <source>第 2 步，共 3 步：等待管理员授权…</source>
        <translation>Step 2 of 3: waiting for administrator rights…</translation>
    </message>
    <message>
        <source>第 2 步，共 3 步：正在写入安装器</source>
        <translation>Step 2 of 3: writing the installer</translation>
    </message>
    <message>
        <source>第 3 步，共 3 步：正在校验</source>
        <translation>Step 3 of 3: verifying</translation>
    </message>
    <message>
        <source>剩余%1</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <source>正在校验驱动器</source>
        <translation>Checking the drive</translation>
    </message>
</context>
</TS>
