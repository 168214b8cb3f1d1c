#include "support/FifoTrap.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTextDocument>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

FifoTrap::FifoTrap()
    : m_previousDir(QFile::encodeName(QDir::currentPath())), m_path(QFile::encodeName(m_dir.filePath("FIFO")))
{
    m_valid = m_dir.isValid() && ::mkfifo(m_path.constData(), 0644) == 0 &&
              ::chdir(QFile::encodeName(m_dir.path()).constData()) == 0;
    m_watcher = std::thread([this] {
        while (!m_stop.load()) {
            // Opening the writing end without blocking succeeds only while a reader has the FIFO open.
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_opened = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

FifoTrap::~FifoTrap()
{
    m_stop = true;
    m_watcher.join();
    (void)!::chdir(m_previousDir.constData());
}

QStringList FifoTrap::markupShownIn(const QWidget *root)
{
    QStringList found;
    QList<const QWidget *> widgets{root};
    for (const QWidget *child : root->findChildren<const QWidget *>())
        widgets << child;
    for (const QWidget *widget : widgets) {
        if (Qt::mightBeRichText(widget->toolTip()) && widget->toolTip().contains(QLatin1String("<img")))
            found << QStringLiteral("tool tip of ") + widget->objectName() + QStringLiteral(": ") +
                         widget->toolTip();
        const auto *label = qobject_cast<const QLabel *>(widget);
        if (label && label->text().contains(QLatin1Char('<')) &&
            (label->textFormat() == Qt::RichText ||
             (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()))))
            found << label->objectName() + QStringLiteral(": ") + label->text();
        if (const auto *popUp = qobject_cast<const QComboBox *>(widget))
            for (int i = 0; i < popUp->count(); ++i)
                if (const QString tip = popUp->itemData(i, Qt::ToolTipRole).toString();
                    Qt::mightBeRichText(tip) && tip.contains(QLatin1String("<img")))
                    found << QStringLiteral("tool tip of a pop-up row: ") + tip;
    }
    return found;
}

} // namespace testsupport
