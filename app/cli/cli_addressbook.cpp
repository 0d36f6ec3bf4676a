// `kivo addressbook ...`: the address book in address.ini, changed through the editor's and
// the mini list's own rules.

#include <algorithm>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "addressbook/KivoAddress.h"
#include "addressbook/KivoAddressBook.h"
#include "addressbook/addsender.h"
#include "addressbook/vcard.h"
#include "app/cli/cli.h"
#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/terminaltext.h"
#include "store/mailboxfiles.h"
#include "store/mbxfile.h"

namespace kivo::cli {

namespace {

std::filesystem::path MailboxFile(const Context& ctx, std::string_view typed) {
    return TMailboxFiles::Of(MailboxBase(ctx.folder.MailFolder(), MailboxName(typed))).Mbx;
}

int Lookup(const Context& ctx) {
    return IniFile(ctx.folder.SettingsFile()).ReadInteger("Program", "Lookup", kLookupDefault);
}

// Says which contacts were in the book already and took in what was new.
void PrintMerged(const Context& ctx, const TImportResult& result) {
    for (const TContact& c : result.merged) {
        const std::string name = Trim(c.first + " " + c.last);
        ctx.out << "Merged with " << FieldText(name.empty() ? c.email : name)
                << ", already in the address book\n";
    }
}

}  // namespace

int AddressbookListCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    for (const TContact& c : ReadAddressBook(ctx.folder.AddressFile()))
        ctx.out << FieldText(c.first) << '\t' << FieldText(c.last) << '\t' << FieldText(c.email)
                << '\n';
    return 0;
}

int AddressbookAddCommand(Context& ctx, Args args) {
    TContact contact;
    const std::vector<std::string>& names = args.Positional();
    const std::optional<std::string> nick = args.Value("--nick");
    if (const std::optional<std::string> email = args.Value("--email"))
        contact.email = JoinEmailField(*email);
    if (names.empty() || names.size() > 2) throw UsageError("needs FIRST [LAST]");
    // The name as typed; the nickname is kept beside it and found as well.
    contact.first = names[0];
    if (names.size() == 2) contact.last = names[1];
    if (nick) SetNickname(contact, *nick);
    TFrmAddressBook editor;
    editor.Load(ctx.folder.AddressFile());
    const TImportResult result = editor.Import({contact});
    if (editor.Changed()) editor.OK(ctx.folder.AddressFile());
    PrintMerged(ctx, result);
    return 0;
}

int AddressbookAddSenderCommand(Context& ctx, Args args) {
    if (args.size() != 2) throw UsageError("needs a mailbox and a number");
    const int number = NumbersOf(std::span(args.Positional()).subspan(1)).One();
    std::vector<std::string> lines;
    ExtractMsg(number, MailboxFile(ctx, args[0]), lines);
    std::vector<std::string> headers;
    ExtractHeaders(headers, lines);
    const std::string from = HeaderValue("From:", headers);
    switch (AddSender(from, ctx.folder.AddressFile(), Lookup(ctx))) {
        case TAddSenderResult::Nothing:
            throw std::runtime_error("the message has no sender address to add");
        case TAddSenderResult::AlreadyThere:
            ctx.out << kAlreadyInBookTip << '\n';
            return 0;
        case TAddSenderResult::Added:
            break;
    }
    ctx.out << "Added " << VisibleControls(from) << '\n';
    return 0;
}

int AddressbookResolveCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs a text");
    TfrmAddress list;
    list.Init(ctx.folder.AddressFile());
    for (const std::string& candidate : list.ResolveNick(args[0], Lookup(ctx)))
        ctx.out << VisibleControls(candidate) << '\n';
    return 0;
}

int AddressbookImportCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs a vCard file");
    const std::string text = ReadFileBytes(args[0]);
    const std::vector<TContact> cards = ReadVCards(text);
    // Another kind of file (a CSV export, a message) must not pass for an empty vCard file.
    if (cards.empty() && !TrimView(text).empty())
        throw std::runtime_error(args[0] + " is not a vCard file: it holds no BEGIN:VCARD");
    TFrmAddressBook editor;
    editor.Load(ctx.folder.AddressFile());
    const TImportResult result = editor.Import(cards);
    if (editor.Changed()) editor.OK(ctx.folder.AddressFile());
    PrintMerged(ctx, result);
    ctx.out << ImportSummary(result) << '\n';
    return 0;
}

int AddressbookExportCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs a vCard file");
    const std::vector<TContact> book = ReadAddressBook(ctx.folder.AddressFile());
    WriteFileAtomic(args[0], WriteVCards(book));
    ctx.out << book.size() << (book.size() == 1 ? " contact" : " contacts") << " exported\n";
    return 0;
}

}  // namespace kivo::cli
