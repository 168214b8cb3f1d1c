#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

class QWidget;

namespace testsupport {

// A FIFO named "FIFO" in a folder that becomes the current directory, so markup such as <img src="FIFO">
// names it. Nothing in the window may ever open it: a reader would block until a writer comes. A watcher
// thread notices any reader, records it and lets it go (by opening the other end), so a fault fails the test
// instead of freezing it.
class FifoTrap
{
public:
    FifoTrap();
    ~FifoTrap();
    FifoTrap(const FifoTrap &) = delete;
    FifoTrap &operator=(const FifoTrap &) = delete;

    bool isValid() const { return m_valid; }
    bool wasOpened() const { return m_opened.load(); }

    // The texts of labels and tool tips below the widget (itself included) that Qt would take as markup
    // while they hold a tag: what the user sees is not the text that was given.
    static QStringList markupShownIn(const QWidget *root);

private:
    QTemporaryDir m_dir;
    QByteArray m_previousDir;
    QByteArray m_path;
    bool m_valid = false;
    std::atomic<bool> m_opened{false};
    std::atomic<bool> m_stop{false};
    std::thread m_watcher;
};

} // namespace testsupport
