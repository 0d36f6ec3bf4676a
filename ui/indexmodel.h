#pragma once
// The message list over an index window's state: rows are asked for as the view paints them,
// so a mailbox of any size opens at once. Sorting, the Show filter and the selection live in
// TFrmIndex; this model only shows them and tells the view when they changed.

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QMimeData>
#include <array>
#include <optional>

#include "store/KivoIndex.h"

namespace kivo::ui {

// The drag of messages from a list to the mailbox tree.
inline constexpr const char* kMessagesMime = "application/x-kivo-messages";

class IndexModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    IndexModel(TFrmIndex& index, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // How rows look, from the program's settings, and the list font.
    void SetLook(const TIndexLook& look, const QFont& font);
    // The entries changed (a mailbox opened, messages removed, sorted, filtered).
    void Reload();
    // One row's entry changed (read, replied).
    void RowChanged(int row);

    TFrmIndex& Index() { return index_; }
    const QFont& ListFont() const { return font_; }
    // The picture of an icon number (0..15).
    static QIcon IconOf(int icon);

  private:
    const TIndexItem& RowItem(int row) const;

    TFrmIndex& index_;
    TIndexLook look_;
    QFont font_;
    QFont bold_;
    // The entry painted last: a row's six cells ask for it six times.
    mutable std::optional<std::pair<int, TIndexItem>> cache_;
};

}  // namespace kivo::ui
