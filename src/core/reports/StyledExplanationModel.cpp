#include "StyledExplanationModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace marrowick {

QVariant StyledExplanationModel::emphasis(int role, bool differs, bool heading) const
{
    switch (role) {
    case Qt::FontRole:
        if (differs || heading) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return differs ? QVariant(QBrush(QColor(0xff, 0xe0, 0x8a))) : QVariant();
    case Qt::ForegroundRole:
        return differs ? QVariant(QBrush(Qt::black)) : QVariant();
    default:
        return {};
    }
}

} // namespace marrowick
