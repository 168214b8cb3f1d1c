#pragma once

#include <QFileDialog>

namespace platform {

// The file picker. A folder whose name ends with one of the allowed bundle extensions (".app") is a single
// item: it can be chosen, and opening it chooses it instead of entering it. Always Qt's own dialog, so the
// behaviour is the same everywhere and tests can drive it.
class OpenPanel : public QFileDialog
{
    Q_OBJECT

public:
    explicit OpenPanel(QWidget *parent = nullptr);

    void setPrompt(const QString &prompt);
    // Extensions without the dot, e.g. {"app"}.
    void setAllowedFileTypes(const QStringList &types);
    // The chosen locations once the panel ended with OK.
    QStringList URLs() const { return m_chosen; }
    // Whether the path is a bundle of one of the allowed types.
    bool isBundle(const QString &path) const;

public slots:
    void accept() override;

private:
    void chooseBundle(const QString &path);
    void updateAcceptButton();
    QString typedPath() const;

    QString m_prompt;
    QStringList m_types;
    QStringList m_chosen;
};

} // namespace platform
