#pragma once

#include "Platform/Views/CollectionViewItem.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <functional>

namespace platform {

class CollectionView;

// Where a collection view's items come from. One section; items are laid out in a column, each at the size
// the data source gives it.
class CollectionViewDataSource
{
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int numberOfSections(CollectionView &) { return 1; }
    virtual int numberOfItems(CollectionView &view, int section) = 0;
    // Usually view.makeItemWithIdentifier(…) filled for the index.
    virtual CollectionViewItem *itemForIndex(CollectionView &view, int index) = 0;
    virtual QSize sizeForItem(CollectionView &view, int index) = 0;
};

class CollectionViewDelegate
{
public:
    virtual ~CollectionViewDelegate() = default;
    virtual void didSelectItem(CollectionView &view, int index)
    {
        (void)view;
        (void)index;
    }
};

// A scrolling column of reusable item widgets (the collection view stand-in).
class CollectionView : public QScrollArea
{
    Q_OBJECT

public:
    using ItemFactory = std::function<CollectionViewItem *()>;

    explicit CollectionView(QWidget *parent = nullptr);

    void setDataSource(CollectionViewDataSource *dataSource) { m_dataSource = dataSource; }
    void setDelegate(CollectionViewDelegate *delegate) { m_delegate = delegate; }
    void registerItem(const QString &identifier, ItemFactory factory);
    // A reused item of that kind when one is free, else a new one.
    CollectionViewItem *makeItemWithIdentifier(const QString &identifier, int index);
    // Asks the data source again for everything; the items shown so far become free for reuse.
    void reloadData();

    int numberOfItems() const { return static_cast<int>(m_visible.size()); }
    CollectionViewItem *itemAtIndex(int index) const;
    // Spacing between items.
    void setItemSpacing(int spacing) { m_spacing = spacing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CollectionViewDataSource *m_dataSource = nullptr;
    CollectionViewDelegate *m_delegate = nullptr;
    QWidget *m_content;
    QHash<QString, ItemFactory> m_factories;
    QHash<QString, QList<CollectionViewItem *>> m_reusable;
    QList<CollectionViewItem *> m_visible;
    int m_spacing = 8;
};

} // namespace platform
