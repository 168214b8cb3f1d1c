#pragma once

#include "Creation/MacOSModel.h"
#include "UI/CollectionViewItem.h"

#include <memory>

class QLabel;
class QToolButton;
namespace Ui {
class FileViewItem;
}

// One catalog entry: logo, name, version, release date and description, and a control that opens its
// download link. Its description is shown 301 points wide in the 10-point system font, so the entry's
// cellHeight fits it.
class FileViewItem : public CollectionViewItem
{
    Q_OBJECT

public:
    static const QString Identifier;

    explicit FileViewItem(QWidget *parent = nullptr);
    ~FileViewItem() override;

    void setMacOSModel(const MacOSModelPtr &model);
    const MacOSModelPtr &macOSModel() const { return m_macOSModel; }
    // Opens the entry's download link with the user's default handler, if it is a web link.
    void downloadAction();

    QLabel *logoImageView = nullptr;
    QLabel *nameLabel = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *dateLabel = nullptr;
    QLabel *infoLabel = nullptr;
    QToolButton *downloadButton = nullptr;

    static QImage placeholderImage();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::FileViewItem> m_ui;
    MacOSModelPtr m_macOSModel;
};
