// The address book's windows for scripts/screens.sh: the editor, the choice dialog and the
// mini address list, docked and floating.
#include "tests/ui/screens_addressbook.h"

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>

#include "ui/addressbookwindow.h"
#include "ui/chooseaddress.h"
#include "ui/mainwindow.h"
#include "ui/minilist.h"

namespace kivo::ui {

int AddressBookScreens(MainWindow& window, const QString& out, const TShoot& shoot) {
    int failures = 0;
    MiniAddressList* mini = window.MiniList();
    mini->show();
    mini->Selector()->setCurrentIndex(0);
    failures += !shoot(&window, out + "/main-mini-list.png");

    window.OpenAddressBook();
    AddressBookWindow* book = window.AddressBook();
    book->move(140, 90);
    book->List()->setCurrentItem(book->List()->topLevelItem(2));
    failures += !shoot(book, out + "/address-book.png");
    book->hide();

    ChooseAddressDialog choose("anna", {"anna.mueller@example.de", "anna@büro.example.de"},
                               &window);
    choose.move(200, 150);
    choose.show();
    failures += !shoot(&choose, out + "/choose-address.png");
    choose.hide();

    mini->setFloating(true);
    mini->resize(220, 320);
    mini->move(300, 120);
    mini->Selector()->setCurrentIndex(1);
    failures += !shoot(mini, out + "/mini-list-floating.png");
    mini->setFloating(false);
    return failures;
}

}  // namespace kivo::ui
