#include "UI/AlertManager.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QMessageBox *AlertManager::alertByWindow(QWidget *window, const QStringList &titles, const QImage &icon,
                                         const QString &messageText, const QString &informativeText,
                                         uint64_t alertStyle, std::function<void(int64_t)> completionHandler)
{
    auto *alert = new QMessageBox(window);
    alert->setObjectName(QStringLiteral("AlertManagerAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    alert->setWindowTitle(QApplication::applicationDisplayName());
    const qreal scale = alert->devicePixelRatioF();
    const QPixmap pixmap = icon.isNull()
                               ? QApplication::windowIcon().pixmap(QSize(64, 64), scale)
                               : QPixmap::fromImage(icon).scaled(QSize(64, 64) * scale, Qt::KeepAspectRatio,
                                                                 Qt::SmoothTransformation);
    if (!pixmap.isNull()) {
        QPixmap sized = pixmap;
        sized.setDevicePixelRatio(scale);
        alert->setIconPixmap(sized);
    }

    QList<QAbstractButton *> buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        // One role for all keeps the buttons in the order given.
        QPushButton *button = alert->addButton(titles[i], QMessageBox::ActionRole);
        button->setObjectName(QStringLiteral("alertButton%1").arg(i));
        buttons << button;
    }
    if (!buttons.isEmpty()) {
        alert->setDefaultButton(static_cast<QPushButton *>(buttons.first()));
        // Escape answers like the cancelling button, or like the only one; the titles arrive translated.
        QAbstractButton *escape = buttons.size() == 1 ? buttons.first() : nullptr;
        const QStringList cancelling = {tr("取消"), tr("继续创建")};
        for (QAbstractButton *button : buttons)
            if (cancelling.contains(button->text()))
                escape = button;
        if (escape)
            alert->setEscapeButton(escape);
    }
    alert->setText(messageText);
    if (alertStyle == InformationalStyle)
        alert->setInformativeText(informativeText);

    auto answered = std::make_shared<bool>(false);
    QObject::connect(alert, &QMessageBox::buttonClicked, alert,
                     [alert, buttons, answered, completionHandler](QAbstractButton *clicked) {
                         if (*answered)
                             return;
                         *answered = true;
                         const qsizetype index = buttons.indexOf(clicked);
                         alert->close();
                         if (completionHandler && index >= 0)
                             completionHandler(FirstButtonReturn + index);
                     });
    alert->open();
    return alert;
}
