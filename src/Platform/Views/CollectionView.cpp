#include "Platform/Views/CollectionView.h"

#include <QEvent>
#include <QMouseEvent>

namespace platform {

CollectionView::CollectionView(QWidget *parent) : QScrollArea(parent), m_content(new QWidget)
{
    setObjectName(QStringLiteral("CollectionView"));
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content->setObjectName(QStringLiteral("CollectionViewContent"));
    setWidget(m_content);
}

void CollectionView::registerItem(const QString &identifier, ItemFactory factory)
{
    m_factories.insert(identifier, std::move(factory));
}

CollectionViewItem *CollectionView::makeItemWithIdentifier(const QString &identifier, int)
{
    QList<CollectionViewItem *> &free = m_reusable[identifier];
    if (!free.isEmpty())
        return free.takeFirst();
    const ItemFactory factory = m_factories.value(identifier);
    if (!factory)
        return nullptr;
    CollectionViewItem *item = factory();
    item->m_reuseIdentifier = identifier;
    item->setParent(m_content);
    item->installEventFilter(this);
    return item;
}

CollectionViewItem *CollectionView::itemAtIndex(int index) const
{
    return index >= 0 && index < m_visible.size() ? m_visible.at(index) : nullptr;
}

void CollectionView::reloadData()
{
    for (CollectionViewItem *item : std::as_const(m_visible)) {
        item->hide();
        m_reusable[item->reuseIdentifier()].append(item);
    }
    m_visible.clear();
    int y = 0, width = 0;
    const int count =
        m_dataSource && m_dataSource->numberOfSections(*this) > 0 ? m_dataSource->numberOfItems(*this, 0) : 0;
    for (int index = 0; index < count; ++index) {
        CollectionViewItem *item = m_dataSource->itemForIndex(*this, index);
        if (!item)
            continue;
        const QSize size = m_dataSource->sizeForItem(*this, index);
        item->setParent(m_content);
        item->setGeometry(0, y, size.width(), size.height());
        item->show();
        m_visible.append(item);
        y += size.height() + m_spacing;
        width = std::max(width, size.width());
    }
    m_content->resize(width, std::max(0, y - m_spacing));
}

bool CollectionView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && m_delegate) {
        auto *item = qobject_cast<CollectionViewItem *>(watched);
        const qsizetype index = m_visible.indexOf(item);
        if (index >= 0)
            m_delegate->didSelectItem(*this, static_cast<int>(index));
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace platform
