// The main window's "&Print" command.
#include "app/KivoMain.h"
#include "view/FPrint.h"

namespace kivo {

bool TFrmMain::Print1Click(TPrinter& printer) {
    const std::vector<int> selected = index_.SelectedRows();
    if (selected.empty()) return false;
    const int focused = index_.Focused();
    const int row = index_.IsSelected(focused) ? focused : selected.front();
    view_.SetStatusText(0, "Printing...");
    view_.SetBusyCursor(true);
    struct CleanUp {
        TFrmMainView& view;
        ~CleanUp() {
            view.SetBusyCursor(false);
            view.SetStatusText(0, "");
        }
    } cleanUp{view_};
    PrintDocumentOf(index_, index_.Row(row).Number).Print(printer);
    return true;
}

}  // namespace kivo
