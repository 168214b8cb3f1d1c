#include "UI/DriveItemDelegate.h"

#include <QApplication>
#include <QPainter>

QFont DriveItemDelegate::secondaryFont(const QFont &font)
{
    QFont smaller = font;
    smaller.setPointSizeF(std::max(7.0, font.pointSizeF() - 1.5));
    return smaller;
}

void DriveItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const QString secondary = index.data(SecondaryTextRole).toString();
    if (secondary.isEmpty())
        return QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString title = item.text;
    // The style draws the background, the selection and the icon; the two lines of text are ours.
    item.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    item.text = title;
    const QRect text =
        style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 0, -2, 0);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QFont small = secondaryFont(option.font);
    const int titleHeight = option.fontMetrics.height();
    const int gap = (text.height() - titleHeight - QFontMetrics(small).height()) / 2;

    painter->save();
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect titleRect(text.left(), text.top() + gap, text.width(), titleHeight);
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(title, Qt::ElideMiddle, titleRect.width()));
    painter->setFont(small);
    QColor grey =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
    if (selected)
        grey.setAlphaF(0.8);
    painter->setPen(grey);
    const QRect secondRect(text.left(), titleRect.bottom() + 1, text.width(), QFontMetrics(small).height());
    painter->drawText(secondRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(small).elidedText(secondary, Qt::ElideMiddle, secondRect.width()));
    painter->restore();
}

QSize DriveItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (!index.data(SecondaryTextRole).toString().isEmpty())
        size.setHeight(std::max(size.height(), option.fontMetrics.height() +
                                                   QFontMetrics(secondaryFont(option.font)).height() + 10));
    return size;
}
