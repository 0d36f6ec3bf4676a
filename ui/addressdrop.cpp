#include "ui/addressdrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include "addressbook/contactdrag.h"
#include "addressbook/minilistlink.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

// Local files dropped on a field are attachments, which the window takes.
bool CarriesFiles(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) return true;
    }
    return false;
}

class AddressDrops : public QObject {
  public:
    explicit AddressDrops(QPlainTextEdit* field) : QObject(field), field_(field) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return QObject::eventFilter(watched, event);
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (!data->hasText() || CarriesFiles(data)) return QObject::eventFilter(watched, event);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop) {
            for (const std::string& line : DroppedAddressLines(FromQ(data->text())))
                AppendAddressLine(field_, line);
            field_->setFocus();
        }
        return true;
    }

  private:
    QPlainTextEdit* field_;
};

}  // namespace

void AcceptAddressDrops(QPlainTextEdit* field) {
    field->viewport()->installEventFilter(new AddressDrops(field));
}

void AppendAddressLine(QPlainTextEdit* field, std::string_view line) {
    field->setPlainText(
        ToQ(FieldWithLine(FromQ(field->toPlainText()), line)).replace("\r\n", "\n"));
    field->moveCursor(QTextCursor::End);
    field->ensureCursorVisible();
}

}  // namespace kivo::ui
