#pragma once

#include "UI/CollectionViewItem.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <functional>
#include <map>
#include <vector>

class CollectionView;

// Where a collection view's items come from. One section; items are laid out in a column, each at the size
// the data source gives it.
class CollectionViewDataSource
{
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int numberOfSections(CollectionView &) { return 1; }
    virtual int numberOfItems(CollectionView &view, int section) = 0;
    // Usually view.makeItemWithIdentifier(…) filled for the index. Asked only for items about to be shown.
    virtual CollectionViewItem *itemForIndex(CollectionView &view, int index) = 0;
    // Asked for every item on each reload, so it should be cheap.
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

// A scrolling column of item widgets (the collection view stand-in), scrolled sideways too when the view is
// narrower than its widest item. Widgets exist only for the items in
// view: scrolling hands the ones that leave back for reuse by identifier and asks the data source for the
// ones that come in, so a list of any length costs a screenful of widgets.
class CollectionView : public QAbstractScrollArea
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
    // Asks the data source again for the count and the sizes; the items shown so far become free for reuse.
    void reloadData();

    // Items the data source gave at the last reload, shown or not.
    int numberOfItems() const { return static_cast<int>(m_offsets.empty() ? 0 : m_offsets.size() - 1); }
    // The item widget showing the index, when it is in view; nothing otherwise.
    CollectionViewItem *itemAtIndex(int index) const;
    // Indexes of the items in view, in order.
    QList<int> indexesForVisibleItems() const;
    // Scrolls so that the item's top is at the top of the view (as far as the list allows).
    void scrollToItem(int index);
    // Scrolls as little as needed to show the whole item and the edges of its neighbours.
    void ensureItemVisible(int index);
    // Spacing between items.
    void setItemSpacing(int spacing) { m_spacing = spacing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollRange();
    // Puts items on the indexes in view and takes them off the others.
    void layoutItems();
    void recycle(CollectionViewItem *item);

    CollectionViewDataSource *m_dataSource = nullptr;
    CollectionViewDelegate *m_delegate = nullptr;
    QHash<QString, ItemFactory> m_factories;
    QHash<QString, QList<CollectionViewItem *>> m_reusable;
    std::map<int, CollectionViewItem *> m_visible; // by index
    std::vector<int> m_offsets;                    // top of each item, then the end of the list
    std::vector<QSize> m_sizes;
    int m_width = 0; // of the widest item
    int m_spacing = 8;
};
