#pragma once

#include <QFileDialog>

// The file picker. A folder whose name ends with one of the allowed bundle extensions (".app") is a single
// item: it can be chosen, and opening it chooses it instead of entering it. Always Qt's own dialog, so the
// behaviour is the same everywhere and tests can drive it.
//
// It opens in the folder of the last item chosen in it, kept in the user's defaults, else in the user's
// Downloads folder (else home), where a downloaded installer lands; its sidebar has the user's places and
// the mounted volumes, and follows volumes as they come and go. Every control shows a focus ring.
class OpenPanel : public QFileDialog
{
    Q_OBJECT

public:
    explicit OpenPanel(QWidget *parent = nullptr);

    void setPrompt(const QString &prompt);
    // Extensions without the dot, e.g. {"app"}; the description names the filter ("macOS 安装程序").
    void setAllowedFileTypes(const QStringList &types, const QString &description = {});
    // The chosen locations once the panel ended with OK.
    QStringList URLs() const { return m_chosen; }
    // Whether the path is a bundle of one of the allowed types.
    bool isBundle(const QString &path) const;

    // The folder of the last item chosen in a panel while it still exists, else the Downloads folder when
    // there is one, else the home folder.
    static QString defaultDirectory();
    // The user default that keeps that folder.
    static constexpr const char *LastFolderKey = "OpenPanel/lastFolder";
    // Home, Downloads, Desktop and Applications (those that exist), then each volume mounted below
    // /Volumes, /media or /run/media, by name.
    static QList<QUrl> defaultSidebarUrls();

public slots:
    void accept() override;

private:
    void chooseBundle(const QString &path);
    void rememberFolder() const;
    void updateAcceptButton();
    void updateSidebar();
    QString typedPath() const;

    QString m_prompt;
    QStringList m_types;
    QStringList m_chosen;
};
