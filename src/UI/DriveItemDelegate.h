#pragma once

#include <QStyledItemDelegate>

// A row of the drive pop-up: the drive's name as its title, and under it, smaller and grey, what tells one
// drive from another (maker and model, device, capacity), kept in the row's SecondaryTextRole.
class DriveItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int SecondaryTextRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    static QFont secondaryFont(const QFont &font);
};
