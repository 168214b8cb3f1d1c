#include "UI/CollectionView.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <algorithm>
#include <climits>

CollectionView::CollectionView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("CollectionView"));
    setFrameShape(QFrame::NoFrame);
    // A view narrower than its items (a small window) scrolls sideways rather than cut them off.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(20);
    viewport()->setObjectName(QStringLiteral("CollectionViewContent"));
    verticalScrollBar()->setSingleStep(20);
    // Tabbing onto an item that is only partly in view scrolls it in, which brings the next one in as well;
    // sideways, the control itself comes into view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (!now || !viewport()->isAncestorOf(now))
            return;
        for (const auto &[index, item] : m_visible)
            if (item == now || item->isAncestorOf(now)) {
                ensureItemVisible(index);
                break;
            }
        const QRect shown(now->mapTo(viewport(), QPoint(0, 0)), now->size());
        QScrollBar *across = horizontalScrollBar();
        if (shown.right() >= viewport()->width())
            across->setValue(across->value() + shown.right() - viewport()->width() + 1);
        else if (shown.left() < 0)
            across->setValue(across->value() + shown.left());
    });
}

void CollectionView::registerItem(const QString &identifier, ItemFactory factory)
{
    m_factories.insert(identifier, std::move(factory));
}

CollectionViewItem *CollectionView::makeItemWithIdentifier(const QString &identifier, int)
{
    QList<CollectionViewItem *> &free = m_reusable[identifier];
    if (!free.isEmpty())
        return free.takeLast();
    const ItemFactory factory = m_factories.value(identifier);
    if (!factory)
        return nullptr;
    CollectionViewItem *item = factory();
    item->m_reuseIdentifier = identifier;
    item->setParent(viewport());
    item->installEventFilter(this);
    return item;
}

CollectionViewItem *CollectionView::itemAtIndex(int index) const
{
    const auto found = m_visible.find(index);
    return found == m_visible.end() ? nullptr : found->second;
}

QList<int> CollectionView::indexesForVisibleItems() const
{
    QList<int> indexes;
    for (const auto &entry : m_visible)
        indexes.append(entry.first);
    return indexes;
}

void CollectionView::reloadData()
{
    for (const auto &entry : m_visible)
        recycle(entry.second);
    m_visible.clear();
    const int count =
        m_dataSource && m_dataSource->numberOfSections(*this) > 0 ? m_dataSource->numberOfItems(*this, 0) : 0;
    m_sizes.assign(static_cast<size_t>(std::max(0, count)), QSize());
    m_offsets.assign(m_sizes.size() + 1, 0);
    qint64 y = 0;
    m_width = 0;
    for (size_t index = 0; index < m_sizes.size(); ++index) {
        m_sizes[index] = m_dataSource->sizeForItem(*this, static_cast<int>(index)).expandedTo(QSize(0, 0));
        m_width = std::max(m_width, m_sizes[index].width());
        // Offsets are widget coordinates; a list beyond what they can address ends there.
        m_offsets[index] = static_cast<int>(std::min<qint64>(y, INT_MAX / 2));
        y += m_sizes[index].height() + (index + 1 < m_sizes.size() ? m_spacing : 0);
    }
    m_offsets.back() = static_cast<int>(std::min<qint64>(y, INT_MAX / 2));
    updateScrollRange();
    layoutItems();
}

void CollectionView::scrollToItem(int index)
{
    if (index >= 0 && index < numberOfItems())
        verticalScrollBar()->setValue(m_offsets[static_cast<size_t>(index)]);
}

void CollectionView::ensureItemVisible(int index)
{
    const int count = numberOfItems();
    if (index < 0 || index >= count)
        return;
    // A sliver of each neighbour comes into view as well, so its widget exists and the keyboard can go on.
    const auto at = static_cast<size_t>(index);
    const int top = index > 0 ? m_offsets[at - 1] + m_sizes[at - 1].height() - 1 : m_offsets[at];
    const int bottom = index + 1 < count ? m_offsets[at + 1] + 1 : m_offsets[at] + m_sizes[at].height();
    QScrollBar *bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + viewport()->height())
        bar->setValue(std::min(top, bottom - viewport()->height()));
}

void CollectionView::updateScrollRange()
{
    const int height = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(std::max(1, height));
    bar->setRange(0, std::max(0, (m_offsets.empty() ? 0 : m_offsets.back()) - height));
    QScrollBar *across = horizontalScrollBar();
    across->setPageStep(std::max(1, viewport()->width()));
    across->setRange(0, std::max(0, m_width - viewport()->width()));
}

void CollectionView::layoutItems()
{
    const int count = numberOfItems();
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    // The first item whose bottom is below the view's top, then every item that starts above its bottom.
    int first = 0;
    int last = -1;
    if (count > 0 && viewport()->height() > 0) {
        const auto begin = m_offsets.begin();
        first = static_cast<int>(std::upper_bound(begin, begin + count, top) - begin) - 1;
        first = std::max(0, first);
        if (m_offsets[static_cast<size_t>(first)] + m_sizes[static_cast<size_t>(first)].height() <= top)
            ++first;
        last = static_cast<int>(std::lower_bound(begin, begin + count, bottom) - begin) - 1;
    }

    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (it->first < first || it->first > last) {
            recycle(it->second);
            it = m_visible.erase(it);
        } else {
            ++it;
        }
    }
    for (int index = first; index <= last; ++index) {
        CollectionViewItem *item = itemAtIndex(index);
        if (!item) {
            item = m_dataSource->itemForIndex(*this, index);
            if (!item)
                continue;
            item->setParent(viewport());
            m_visible[index] = item;
        }
        const QSize &size = m_sizes[static_cast<size_t>(index)];
        item->setGeometry(-horizontalScrollBar()->value(), m_offsets[static_cast<size_t>(index)] - top,
                          size.width(), size.height());
        item->show();
    }
    // Reused widgets keep their old place in the focus chain; the keyboard goes through items in list order.
    QWidget *previous = this;
    for (const auto &entry : m_visible)
        for (QWidget *child : entry.second->findChildren<QWidget *>())
            if (child->focusPolicy() & Qt::TabFocus) {
                QWidget::setTabOrder(previous, child);
                previous = child;
            }
}

void CollectionView::recycle(CollectionViewItem *item)
{
    item->hide();
    m_reusable[item->reuseIdentifier()].append(item);
}

void CollectionView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    layoutItems();
}

void CollectionView::scrollContentsBy(int, int)
{
    layoutItems();
}

bool CollectionView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && m_delegate) {
        for (const auto &[index, item] : m_visible) {
            if (item == watched) {
                m_delegate->didSelectItem(*this, index);
                break;
            }
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}
