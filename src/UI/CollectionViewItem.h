#pragma once

#include <QWidget>

// One cell of a collection view. The view makes items through the data source and keeps those it no longer
// shows for reuse, so an item may show one entry after another.
class CollectionViewItem : public QWidget
{
    Q_OBJECT

public:
    explicit CollectionViewItem(QWidget *parent = nullptr) : QWidget(parent) {}
    QString reuseIdentifier() const { return m_reuseIdentifier; }

private:
    friend class CollectionView;
    QString m_reuseIdentifier;
};
