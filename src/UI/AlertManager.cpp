#include "UI/AlertManager.h"

#include "UI/ControlStyle.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

namespace {

// A wrapping text is at least as wide as its longest line up to the alert's text width, so a sentence
// fills the alert instead of standing in a column as narrow as the buttons, and a long one wraps.
void fitTextWidth(QLabel *label)
{
    label->ensurePolished();
    const QFontMetrics metrics = label->fontMetrics();
    int longest = 0;
    for (const QString &line : label->text().split(QLatin1Char('\n')))
        longest = std::max(longest, metrics.horizontalAdvance(line));
    const QMargins margins = label->contentsMargins();
    label->setMinimumWidth(std::min(AlertManager::TextWidth, longest + margins.left() + margins.right() + 1));
}

// The detail goes between the texts and the buttons, in the texts' column.
void addDetail(QMessageBox *alert, const QString &detailText)
{
    auto *grid = qobject_cast<QGridLayout *>(alert->layout());
    auto *buttons = alert->findChild<QWidget *>(QStringLiteral("qt_msgbox_buttonbox"));
    auto *message = alert->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (!grid || !buttons || !message)
        return;
    int column = 0, buttonsRow = 0, unused = 0;
    grid->getItemPosition(grid->indexOf(message), &unused, &column, &unused, &unused);
    grid->getItemPosition(grid->indexOf(buttons), &buttonsRow, &unused, &unused, &unused);
    auto *detail = new QLabel(detailText, alert);
    detail->setObjectName(QStringLiteral("alertDetailLabel"));
    detail->setTextFormat(Qt::PlainText);
    detail->setWordWrap(true);
    detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detail->setContentsMargins(0, 0, 0, 7);
    QSizePolicy policy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    detail->setSizePolicy(policy);
    grid->removeWidget(buttons);
    grid->addWidget(detail, buttonsRow, column);
    grid->addWidget(buttons, buttonsRow + 1, 0, 1, grid->columnCount());
    fitTextWidth(detail);
}

} // namespace

QMessageBox *AlertManager::alertByWindow(QWidget *window, const QStringList &titles, const QImage &icon,
                                         const QString &messageText, const QString &informativeText,
                                         uint64_t alertStyle, std::function<void(int64_t)> completionHandler,
                                         const AlertOptions &options)
{
    auto *alert = new QMessageBox(window);
    alert->setObjectName(QStringLiteral("AlertManagerAlert"));
    alert->setStyleSheet(ControlStyle::styleSheet() +
                         QStringLiteral("QLabel#alertDetailLabel { color: #44505f; }"));
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
        // Marked before it joins the alert, so the alert's style sheet draws it so from the start.
        auto *button = new QPushButton(titles[i]);
        button->setObjectName(QStringLiteral("alertButton%1").arg(i));
        if (i == options.destructiveButton) {
            button->setProperty(ControlStyle::DestructiveProperty, true);
            button->setAccessibleDescription(tr("此操作会抹掉数据，且无法撤销"));
        }
        // One role for all keeps the buttons in the order given.
        alert->addButton(button, QMessageBox::ActionRole);
        buttons << button;
    }
    const auto button = [&](int index) {
        return index >= 0 && index < buttons.size() ? buttons[index] : nullptr;
    };
    if (!buttons.isEmpty()) {
        QAbstractButton *chosenDefault = button(options.defaultButton);
        alert->setDefaultButton(static_cast<QPushButton *>(chosenDefault ? chosenDefault : buttons.first()));
        // Escape answers like the cancelling button, or like the only one; the titles arrive translated.
        QAbstractButton *escape = button(options.cancelButton);
        if (!escape) {
            escape = buttons.size() == 1 ? buttons.first() : nullptr;
            const QStringList cancelling = {tr("取消"), tr("继续创建")};
            for (QAbstractButton *candidate : buttons)
                if (cancelling.contains(candidate->text()))
                    escape = candidate;
        }
        if (escape)
            alert->setEscapeButton(escape);
    }
    // Texts name bundles, drives and files, and may come from the service: never markup, which would load
    // the images and follow the links it names. The formats are set before the texts reach the labels.
    alert->setTextFormat(Qt::PlainText);
    alert->setText(messageText);
    if (alertStyle == InformationalStyle && !informativeText.isEmpty()) {
        // The alert makes its informative label with the first text, taking markup by default.
        alert->setInformativeText(QStringLiteral(" "));
        if (auto *informative = alert->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
            informative->setTextFormat(Qt::PlainText);
            informative->setOpenExternalLinks(false);
            alert->setInformativeText(informativeText);
            fitTextWidth(informative);
        }
    }
    // Last: setting the texts or the icon rebuilds the alert's layout.
    if (!options.detailText.isEmpty())
        addDetail(alert, options.detailText);

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
