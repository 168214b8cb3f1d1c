#include "WindowDriver.h"

#include "UI/OpenPanel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

bool WindowDriver::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

QWidget *WindowDriver::openDialog() const
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget != &m_window &&
            (qobject_cast<QMessageBox *>(widget) || qobject_cast<OpenPanel *>(widget)))
            return widget;
    return nullptr;
}

QMessageBox *WindowDriver::waitForAlert(int timeoutMs) const
{
    QMessageBox *alert = nullptr;
    waitFor([&] { return (alert = qobject_cast<QMessageBox *>(openDialog())) != nullptr; }, timeoutMs);
    return alert;
}

OpenPanel *WindowDriver::waitForPicker(int timeoutMs) const
{
    OpenPanel *panel = nullptr;
    waitFor([&] { return (panel = qobject_cast<OpenPanel *>(openDialog())) != nullptr; }, timeoutMs);
    return panel;
}

bool WindowDriver::clickButton(QWidget *dialog, const QString &text)
{
    if (!dialog)
        return false;
    for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
        if (button->isVisible() && button->text() == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    return false;
}

bool WindowDriver::chooseInPicker(OpenPanel *panel, const QString &path, const QString &prompt)
{
    if (!panel)
        return false;
    panel->setDirectory(QFileInfo(path).absolutePath());
    auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!name)
        return false;
    name->clear();
    QTest::keyClicks(name, QFileInfo(path).fileName());
    QTest::qWait(150);
    return clickButton(panel, prompt);
}

QPixmap WindowDriver::screenshot() const
{
    QApplication::processEvents();
    QPixmap shot = m_window.grab();
    if (QWidget *dialog = openDialog()) {
        const QPixmap sheet = dialog->grab();
        QPainter painter(&shot);
        painter.fillRect(shot.rect(), QColor(0, 0, 0, 60));
        const QPoint at((m_window.width() - dialog->width()) / 2, 24);
        painter.drawPixmap(at, sheet);
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawRect(QRect(at, dialog->size()).adjusted(0, 0, -1, -1));
    }
    return shot;
}
