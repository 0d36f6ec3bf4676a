// kivo ls, show, delete, move, copy, compress and empty-trash: the message list of a mailbox
// and the operations of its index window, leaving index and deleted list as the window would.

#include <unistd.h>

#include <ostream>

#include "app/cli/orphanscli.h"
#include "app/cli/showcli.h"
#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "base/displaytext.h"
#include "base/files.h"
#include "base/inifile.h"
#include "store/indexfile.h"
#include "store/mailboxfiles.h"
#include "store/mailboxlock.h"
#include "store/mbxfile.h"
#include "store/repair.h"
#include "store/repair_duplicates.h"

namespace kivo::cli {

namespace fs = std::filesystem;

std::string MailboxName(std::string_view typed) {
    std::string name(typed);
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    static constexpr std::string_view kSystem[] = {"In", "Out", "Sent", "Trash"};
    for (std::string_view system : kSystem) {
        if (EqualsNoCase(name, system)) return std::string(system);
    }
    return name;
}

void OpenMailbox(TFrmMain& main, std::string_view typed) {
    NameMailbox(main, typed);
    main.Init();
}

void NameMailbox(TFrmMain& main, std::string_view typed) {
    TFrmIndex& index = main.MainIndex();
    index.Folder = main.Folder().MailFolder();
    index.MailboxName = MailboxName(typed);
    std::error_code ec;
    if (index.MailboxName.empty()) throw std::runtime_error("no mailbox " + std::string(typed));
    const fs::path mbx = index.Files().Mbx;
    // A file that is there but cannot be read (a link to itself or to nowhere, a folder) is
    // named with the reason, never taken for a missing or an empty mailbox.
    const fs::file_status status = fs::status(mbx, ec);
    const bool missing = status.type() == fs::file_type::not_found;
    std::error_code why;
    std::error_code linkEc;
    if (missing && fs::is_symlink(fs::symlink_status(mbx, linkEc))) {
        why = std::make_error_code(std::errc::no_such_file_or_directory);
    } else if (!missing && ec) {
        why = ec;
    } else if (fs::is_directory(status)) {
        why = std::make_error_code(std::errc::is_a_directory);
    }
    if (why) throw std::runtime_error("cannot read " + mbx.string() + ": " + why.message());
    if (!IsSystemMailbox(index.MailboxName) && missing) {
        throw std::runtime_error("no mailbox " + std::string(typed));
    }
    if (!fs::is_directory(index.Folder, ec)) {
        throw std::runtime_error("no mail folder " + index.Folder.string() + " (run kivo init)");
    }
}

void SaveAfterCommand(Context& ctx, TFrmMain& main, bool quiet) {
    try {
        main.SaveInfo();
    } catch (const EIndexNotSaved& e) {
        // The command's change is in the mailbox files; only the cache of it is not.
        if (!quiet) ctx.err << "kivo: note: " << e.what() << '\n';
    } catch (const std::exception& e) {
        // The command itself is done; compression only tidies up and runs again later.
        const auto* sys = dynamic_cast<const std::system_error*>(&e);
        if (!quiet) {
            ctx.err << "kivo: note: " << main.MainIndex().MailboxName
                    << " was not compressed: " << (sys ? sys->code().message() : e.what())
                    << '\n';
        }
    }
}

std::string OpenedAtStart(const Context& ctx) {
    const std::string opened =
        MailboxName(IniFile(ctx.folder.SettingsFile()).ReadString("Program", "Opened", "In"));
    std::error_code ec;
    const fs::path mbx = TMailboxFiles::Of(MailboxBase(ctx.folder.MailFolder(), opened)).Mbx;
    return opened.empty() || !fs::exists(mbx, ec) ? std::string("In") : opened;
}

void SelectNumbers(TFrmIndex& index, const TNumberSet& numbers) {
    index.ClearSelection();
    for (int n : numbers.Singles()) {
        if (index.RowOfNumber(n) < 0)
            throw std::runtime_error("no message " + std::to_string(n) + " in " +
                                     index.MailboxName);
    }
    int last = -1;
    for (int row = 0; row < index.RowCount(); ++row) {
        if (!numbers.Contains(index.Row(row).Number)) continue;
        index.SetSelected(row, true);
        last = row;
    }
    if (last < 0) throw std::runtime_error("no such messages in " + index.MailboxName);
    index.SetFocused(last);
}

namespace {

// MAILBOX NUMBER... [--to TARGET]
struct Selection {
    std::string mailbox;
    TNumberSet numbers;
    std::string target;
};

Selection ParseSelection(Args args, bool wantTarget) {
    if (args.size() < 2) throw UsageError("needs a mailbox and numbers");
    Selection sel{args[0], NumbersOf(std::span(args.Positional()).subspan(1)), {}};
    if (wantTarget) {
        sel.target = args.Value("--to").value_or("");
        if (sel.target.empty()) throw UsageError("needs --to TARGET");
    }
    return sel;
}

int CriterionOf(std::string text) {
    for (char& c : text) {
        if (c == '-') c = ' ';
    }
    for (int c = 0; c < kShowCriterionCount; ++c) {
        if (EqualsNoCase(ShowCriterionText(c), text)) return c;
    }
    throw UsageError("unknown criterion " + text);
}

int ColumnOf(std::string_view text) {
    static constexpr std::string_view kColumns[] = {"subject", "from", "to",
                                                    "date",    "size", "priority"};
    static constexpr TIndexColumn kIds[] = {icSubject, icFrom, icTo, icDate, icSize, icPriority};
    for (int i = 0; i < 6; ++i) {
        if (EqualsNoCase(kColumns[i], text)) return kIds[i];
    }
    throw UsageError("unknown column " + std::string(text));
}

// What a command does to its mailbox: commands that only read it work on a program folder
// the user may not write (a backup on read-only media).
enum class TUse { Change, Read };

// Runs a command on a mailbox opened in the main window, then saves its state as the window
// does when it closes. A mailbox another program changed meanwhile is read again, so the next
// command sees the new numbers; nothing was done, and the command fails with one line. On a
// read-only mail folder a reading command uses the index in memory and saves nothing.
template <typename Body>
int WithMailbox(Context& ctx, std::string_view mailbox, Body body, TUse use = TUse::Change) {
    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    // Numbers the user read from ls name the same messages in the next command: only a
    // command that changes the mailbox compresses it, after it acted, as it closes it.
    main.CompressOnOpen = false;
    main.CompressOnClose = use == TUse::Change;
    NameMailbox(main, mailbox);
    TFrmIndex& index = main.MainIndex();
    const bool readOnly = use == TUse::Read && ::access(index.Folder.c_str(), W_OK) != 0;
    std::error_code ec;
    // A system mailbox that was never written is empty; it cannot be made here.
    if (!readOnly || fs::exists(index.Files().Mbx, ec)) main.Init();
    std::string failure;
    int status = 0;
    try {
        status = body(main, view, platform);
    } catch (const EMailboxChanged& e) {
        main.Init();
        failure = e.what();
    } catch (const ECopyError& e) {
        failure = e.Line();
    }
    if (readOnly) {
        ctx.err << "kivo: note: " << index.Folder.string() << " is read-only; the index of "
                << index.MailboxName << " is used in memory and not saved\n";
    } else {
        // After a failure its one line says everything: nothing changed.
        SaveAfterCommand(ctx, main, !failure.empty());
    }
    if (!failure.empty()) throw std::runtime_error(failure);
    return status;
}

}  // namespace

int LsCommand(Context& ctx, Args args) {
    std::string sort, showText;
    bool desc = false, hideRest = false;
    int criterion = scEverything;
    std::vector<std::string> positional = args.Positional();
    for (const CommandLine::Given& given : args.Options()) {
        if (given.name == "--sort") {
            sort = given.value;
            ColumnOf(sort);
        } else if (given.name == "--desc") {
            desc = true;
        } else if (given.name == "--hide-rest") {
            hideRest = true;
        } else if (given.name == "--show") {
            criterion = CriterionOf(given.value);
            showText.clear();
            // A word after a criterion that takes no text is the mailbox.
            if (given.text && ShowCriterionTakesText(criterion)) {
                showText = *given.text;
            } else if (given.text) {
                positional.push_back(*given.text);
            }
        }
    }
    if (positional.size() > 1) throw UsageError("unexpected " + positional[1]);
    const std::string mailbox = positional.empty() ? std::string() : positional[0];
    if (mailbox.empty()) throw UsageError("needs a mailbox");
    if (desc && sort.empty()) throw UsageError("--desc goes with --sort");
    return WithMailbox(
        ctx, mailbox,
        [&](TFrmMain& main, StoreView&, StorePlatform&) {
            TFrmIndex& index = main.MainIndex();
            if (criterion != scEverything) index.ApplyFilter(criterion, showText, hideRest);
            if (!sort.empty()) {
                const auto column = static_cast<TIndexColumn>(ColumnOf(sort));
                index.SortByColumn(column);  // the first click sorts ascending
                if (desc) index.SortByColumn(column);
            }
            for (int row = 0; row < index.RowCount(); ++row) {
                const TIndexItem& e = index.Row(row);
                // Fields in UTF-8 and on one line: a tab or an escape sequence in a subject
                // must not add a column or reach the terminal.
                ctx.out << e.Number << '\t' << e.Icon << '\t' << (e.Unread ? 1 : 0) << '\t'
                        << (e.HasAttachment ? 1 : 0) << '\t' << TerminalField(e.Date) << '\t'
                        << TerminalField(e.From) << '\t' << TerminalField(e.Subject) << '\t'
                        << e.Size << '\t' << TerminalField(e.To) << '\t' << e.Priority;
                if (index.FilterActive() && e.Tagged) ctx.out << "\t*";
                ctx.out << '\n';
            }
            return 0;
        },
        TUse::Read);
}

int ShowCommand(Context& ctx, Args args) {
    const TShowOptions options = ParseShowOptions(args);
    if (args.size() != 2) throw UsageError("needs a mailbox and a number");
    const int number = NumbersOf(std::span(args.Positional()).subspan(1)).One();
    return WithMailbox(
        ctx, args[0],
        [&](TFrmMain& main, StoreView& view, StorePlatform& platform) {
            TFrmIndex& index = main.MainIndex();
            const int row = index.RowOfNumber(number);
            if (row < 0) {
                throw std::runtime_error("no message " + std::to_string(number) + " in " +
                                         index.MailboxName);
            }
            index.SelectOnly(row);
            view.hasMessage = false;
            platform.notices.clear();
            main.ShowMessage(index, row);
            if (!view.hasMessage) {
                throw std::runtime_error(platform.notices.empty() ? "the message could not be read"
                                                                  : platform.notices.back());
            }
            if (options.form == TShowForm::Raw) {
                // Exactly as stored: every line of the message with its CR LF, blank lines
                // kept.
                std::vector<std::string> lines;
                ExtractMsg(number, index.Files().Mbx, lines);
                for (const std::string& line : lines) ctx.out << line << "\r\n";
            } else {
                // What the mail holds is shown, not obeyed: escape sequences would act on a
                // terminal.
                WriteShown(ctx, view.shown, options);
            }
            return 0;
        },
        TUse::Read);
}

int DeleteCommand(Context& ctx, Args args) {
    const Selection sel = ParseSelection(args, false);
    return WithMailbox(ctx, sel.mailbox, [&](TFrmMain& main, StoreView&, StorePlatform&) {
        // As the Delete command, without showing the next message (which would mark it read).
        SelectNumbers(main.MainIndex(), sel.numbers);
        DeleteSelected(main.MainIndex(), true, main.Feedback());
        return 0;
    });
}

namespace {
int CopyOrMove(Context& ctx, Args args, bool move) {
    const Selection sel = ParseSelection(args, true);
    const std::string target = MailboxName(sel.target);
    return WithMailbox(ctx, sel.mailbox, [&](TFrmMain& main, StoreView&, StorePlatform&) {
        TFrmIndex& index = main.MainIndex();
        const fs::path to = TMailboxFiles::Of(MailboxBase(index.Folder, target)).Mbx;
        std::error_code ec;
        if (!IsSystemMailbox(target) && !fs::exists(to, ec)) {
            throw std::runtime_error("no mailbox " + sel.target);
        }
        SelectNumbers(index, sel.numbers);
        if (move) {
            MoveMessage(index, to, nullptr, main.Feedback());
        } else {
            CopyToFile(index, nullptr, to, main.Feedback());
        }
        return 0;
    });
}
}  // namespace

int MoveCommand(Context& ctx, Args args) {
    return CopyOrMove(ctx, args, true);
}
int CopyCommand(Context& ctx, Args args) {
    return CopyOrMove(ctx, args, false);
}

int CompressCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs a mailbox");
    return WithMailbox(ctx, args[0], [&](TFrmMain& main, StoreView&, StorePlatform&) {
        try {
            main.CompressMailbox1Click();
        } catch (const std::system_error& e) {
            throw std::runtime_error("cannot compress the mailbox " + main.MainIndex().MailboxName +
                                     ": " + e.code().message() + "; it was left as it was");
        }
        return 0;
    });
}

int RepairCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs a mailbox");
    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    main.CompressOnOpen = false;
    NameMailbox(main, args[0]);
    TFrmIndex& index = main.MainIndex();
    const TRepairReport report = RepairMailbox(index.Files(), args.Has("--yes"));
    const std::vector<TDuplicates> duplicates =
        FindDuplicates(index.Files(), index.Folder, args.Has("--yes"));
    main.Init();  // the index was removed: built again from the file
    const bool saved = SaveIndex(index);
    std::vector<std::string> lines = RepairLines(index.MailboxName, report);
    for (std::string& line : DuplicateLines(index.MailboxName, duplicates)) {
        lines.push_back(std::move(line));
    }
    for (const std::string& line : lines) ctx.out << line << '\n';
    if (lines.empty()) ctx.out << index.MailboxName << ": nothing was wrong\n";
    ctx.out << index.MailboxName << ": index built again: " << report.messages << " messages, "
            << index.DeletedCount << " of them deleted" << (saved ? "" : " (index not saved)")
            << '\n';
    RepairOrphanAttachments(ctx, args.Has("--yes"));
    return 0;
}

int EmptyTrashCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    main.EmptyTrash1Click();
    return 0;
}

}  // namespace kivo::cli
