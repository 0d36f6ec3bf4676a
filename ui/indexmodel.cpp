#include "ui/indexmodel.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include "ui/qtext.h"

namespace kivo::ui {

namespace {

constexpr std::array<const char*, 6> kHeaders = {"Subject", "From", "Date",
                                                 "Size",    "To",   "Priority"};

// An envelope, closed for unread and open for read, with a paper clip for an attachment and
// a small arrow for replied, forwarded or bounced.
QPixmap DrawIcon(int icon) {
    const int state = icon % 4;
    const int group = icon / 4;
    const bool unread = state < 2;
    const bool attached = state % 2 == 1;
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(unread ? QColor(255, 230, 120) : QColor(245, 245, 245));
    p.drawRect(QRectF(1.5, 4.5, 12, 8));
    if (unread) {
        p.drawLine(QPointF(1.5, 4.5), QPointF(7.5, 9));
        p.drawLine(QPointF(13.5, 4.5), QPointF(7.5, 9));
    } else {
        p.drawLine(QPointF(1.5, 4.5), QPointF(7.5, 1));
        p.drawLine(QPointF(13.5, 4.5), QPointF(7.5, 1));
    }
    if (attached) {
        p.setPen(QPen(QColor(40, 40, 160), 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(11, 7, 3.5, 8), 1.7, 1.7);
    }
    if (group != igNone) {
        static const QColor colours[] = {
            {}, QColor(0, 130, 0), QColor(0, 80, 200), QColor(180, 0, 0)};
        p.setPen(QPen(colours[group], 2));
        p.drawLine(QPointF(3, 14), QPointF(8, 14));
        p.drawLine(QPointF(3, 14), QPointF(5, 12));
    }
    return pix;
}

}  // namespace

IndexModel::IndexModel(TFrmIndex& index, QObject* parent)
    : QAbstractTableModel(parent), index_(index) {}

QIcon IndexModel::IconOf(int icon) {
    static std::array<QIcon, 16> icons;
    icon = std::clamp(icon, 0, 15);
    if (icons[static_cast<std::size_t>(icon)].isNull()) {
        icons[static_cast<std::size_t>(icon)] = QIcon(DrawIcon(icon));
    }
    return icons[static_cast<std::size_t>(icon)];
}

int IndexModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : index_.RowCount();
}

int IndexModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 6;
}

const TIndexItem& IndexModel::RowItem(int row) const {
    if (!cache_ || cache_->first != row) cache_.emplace(row, index_.Row(row));
    return cache_->second;
}

QVariant IndexModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= index_.RowCount()) return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole: {
            const TIndexItem& item = RowItem(row);
            switch (column) {
                case icSubject:
                    return ToQ(item.Subject);
                case icFrom:
                    return ToQ(item.From);
                case icDate:
                    return ToQ(item.Date);
                case icSize:
                    return ToQ(item.Size);
                case icTo:
                    return ToQ(item.To);
                case icPriority:
                    return ToQ(item.Priority);
            }
            return {};
        }
        case Qt::DecorationRole:
            if (column == icSubject) return IconOf(RowItem(row).Icon);
            return {};
        case Qt::TextAlignmentRole:
            if (column == icSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case Qt::FontRole:
            return index_.CellLook(row, column, look_).bold ? bold_ : font_;
        case Qt::ForegroundRole:
            return ColourOf(index_.CellLook(row, column, look_).text, QApplication::palette());
        case Qt::BackgroundRole:
            return ColourOf(index_.CellLook(row, column, look_).back, QApplication::palette());
        case Qt::ToolTipRole:
            if (column == icSubject) return ToQ(RowItem(row).Subject);
            return {};
    }
    return {};
}

QVariant IndexModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= 6) return {};
    if (role == Qt::DisplayRole) return QString(kHeaders[static_cast<std::size_t>(section)]);
    return {};
}

Qt::ItemFlags IndexModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList IndexModel::mimeTypes() const {
    return {kMessagesMime};
}

QMimeData* IndexModel::mimeData(const QModelIndexList&) const {
    // The drop takes the index window's own selection; the data only names the drag.
    auto* data = new QMimeData;
    data->setData(kMessagesMime, QByteArray::number(index_.SelectedRows().size()));
    return data;
}

Qt::DropActions IndexModel::supportedDragActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

void IndexModel::SetLook(const TIndexLook& look, const QFont& font) {
    look_ = look;
    font_ = font;
    bold_ = font;
    bold_.setBold(true);
    Reload();
}

void IndexModel::Reload() {
    beginResetModel();
    cache_.reset();
    endResetModel();
}

void IndexModel::RowChanged(int row) {
    cache_.reset();
    emit dataChanged(this->index(row, 0), this->index(row, 5));
}

}  // namespace kivo::ui
