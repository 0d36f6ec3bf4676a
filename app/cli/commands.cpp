#include "app/cli/cli.h"

namespace kivo::cli {

namespace {
// clang-format off
constexpr Option kAccountAddOptions[] = {
    {"--email", "ADDRESS", "the account's e-mail address", TOptionValue::One},
    {"--name", "NAME", "the full name shown as the sender", TOptionValue::One},
    {"--pop-server", "HOST[:PORT]", "the POP3 server", TOptionValue::One},
    {"--pop-user", "USER", "the user name on the POP3 server", TOptionValue::One},
    {"--password", "PASSWORD", "the POP3 password (visible to other users: prefer "
     "--password-stdin)", TOptionValue::One},
    {"--password-stdin", "", "read the POP3 password from the first line of standard input"},
    {"--smtp", "HOST[:PORT]", "the SMTP server for this account's mail", TOptionValue::One},
    {"--guess", "", "with --email: try pop.DOMAIN and mail.DOMAIN on 995 (TLS), smtp.DOMAIN and "
     "mail.DOMAIN on 465 (TLS) or 587 (STARTTLS), and take the first that answers for each "
     "server not given"},
    {"--pop-security", "none|stls|tls", "secure the POP3 connection (default: tls on port 995)",
     TOptionValue::One},
    {"--smtp-security", "none|starttls|tls", "secure the SMTP connection (default: tls on port "
     "465, starttls on 587)", TOptionValue::One},
    {"--smtp-auth", "none|pop|own", "log in to the SMTP server (default: pop, the POP3 user and "
     "password, with a secured SMTP server)", TOptionValue::One},
    {"--yes", "", "save the account although it would send its password unencrypted"},
    {"--leave-mail", "0|1", "leave fetched messages on the server", TOptionValue::One},
    {"--leave-days", "DAYS", "with --leave-mail 1: delete mail from the server after DAYS days "
     "(0: never)", TOptionValue::One},
    {"--skip-big", "KB", "do not fetch messages over KB kilobytes (0: fetch all)",
     TOptionValue::One},
    {"--check", "0|1", "check this account with kivo check (default 1)", TOptionValue::One},
    {"--sound", "0|1", "play the new-mail sound for this account", TOptionValue::One},
    {"--sig", "NAME", "the signature file (default Default)", TOptionValue::One},
    {"--tag", "TEXT", "the account's tag, for %tag% in signatures", TOptionValue::One},
};
constexpr Option kAccountSetOptions[] = {
    {"--yes", "", "save the change although the account would then send its password "
     "unencrypted"},
};
constexpr std::string_view kAccountSetKeys =
    "Keys (names without regard to case; passwords are given plain and stored scrambled):\n"
    "  Name, Email, POPServer, POPUser, POPPass, SMTP, Sig, Tag   text\n"
    "  SkipBig, LeaveMail, Sound, CheckMail                     0 or 1\n"
    "  SkipBigSize                                              kilobytes\n"
    "  LeaveDays      delete mail left on the server after this many days (0: never)\n"
    "  POPSecurity    none, stls or tls\n"
    "  SMTPSecurity   none, starttls or tls\n"
    "  SMTPAuth       none, pop (log in as on the POP3 server) or own\n"
    "  SMTPUser, SMTPPass   the SMTP log-in with SMTPAuth=own\n"
    "  POPPass=- or SMTPPass=- reads the password from standard input (not shown on a "
    "terminal)\n"
    "  TrustCert      a server certificate's SHA-256 fingerprint to trust";
constexpr Option kLsOptions[] = {
    {"--sort", "COLUMN", "sort by subject, from, date, size, to or priority", TOptionValue::One},
    {"--desc", "", "sort in descending order (with --sort)"},
    {"--show", "CRITERION [TEXT]", "tag the entries that match: everything, subject, from, "
     "date, size, to, priority (these take a TEXT), unread, read, with-attached, "
     "without-attached", TOptionValue::OneMaybeText},
    {"--hide-rest", "", "list only the tagged entries (with --show)"},
};
constexpr Option kShowOptions[] = {
    {"--headers", "", "the header lines only (with --html, --html-safe or --raw-view: the "
     "headers shown above the message)"},
    {"--body", "", "the body only"},
    {"--raw", "", "the message exactly as stored (CR LF line ends, nothing converted)"},
    {"--html", "", "the message view's HTML lines, a received HTML message's as it was sent "
     "(its scripts and remote addresses included)"},
    {"--html-safe", "", "the page the message view loads: scripts, refresh and the message's "
     "own security policy taken out, remote addresses replaced by about:blank as the view "
     "blocks them"},
    {"--raw-view", "", "the HTML lines of the view's raw view (HTML shown as text)"},
};
constexpr Option kPrintOptions[] = {
    {"--text", "", "the page's text: the heading line, then the message as text"},
};
constexpr Option kToOption[] = {
    {"--to", "TARGET", "the mailbox the messages go to", TOptionValue::One},
};
constexpr Option kTransferWaitOptions[] = {
    {"--wait", "", "while another run of the same kind holds the program folder, wait for it "
     "however long it takes"},
    {"--wait-up-to", "SECONDS", "wait at most this long for another run (default 30; 0: not at "
     "all), then give up with status 1", TOptionValue::One},
};
constexpr Option kInOption[] = {
    {"--in", "FOLDER", "make it inside this folder", TOptionValue::One},
};
constexpr Option kMailboxDeleteOptions[] = {
    {"--yes", "", "answer yes to the question whether to delete what is not empty"},
    {"--no-trash", "", "delete the messages of what is deleted for good, not into Trash"},
};
constexpr Option kRepairOptions[] = {
    {"--yes", "", "also mend what changes the mailbox file (end a last line cut short, mark "
                  "deleted the messages that the Trash holds too) and remove attachment files "
                  "no message points to without asking"},
};
constexpr Option kOntoOption[] = {
    {"--onto", "NODEPATH", "the folder to move into, or the mailbox to move beside",
     TOptionValue::One},
};
constexpr Option kFindOptions[] = {
    {"--exclude", "TEXT", "leave out the messages that hold TEXT", TOptionValue::One},
    {"--match-case", "", "TEXT must match in letter case"},
    {"--exclude-match-case", "", "the --exclude text must match in letter case"},
    {"--current-folder", "MAILBOX", "search only the folder holding this mailbox",
     TOptionValue::One},
    {"--into", "NAME", "the results mailbox (default: a new one)", TOptionValue::One},
};
constexpr Option kComposeOptions[] = {
    {"--account", "NAME", "send from this account (default: the default account)",
     TOptionValue::One},
    {"--to", "TEXT", "recipients: addresses or address-book names (may be repeated)",
     TOptionValue::One},
    {"--cc", "TEXT", "copy recipients (may be repeated)", TOptionValue::One},
    {"--bcc", "TEXT", "blind copy recipients (may be repeated)", TOptionValue::One},
    {"--subject", "TEXT", "the subject", TOptionValue::One},
    {"--attach", "FILE", "attach a file (may be repeated)", TOptionValue::One},
    {"--priority", "low|normal|high", "the message's priority", TOptionValue::One},
    {"--no-signature", "", "leave the signature out"},
    {"--styled-rtf", "FILE",
     "the body as rich-edit RTF instead of standard input: sent styled (HTML), with the plain "
     "text beside it unless [Defaults] Format says styled only",
     TOptionValue::One},
    {"--queue", "", "put the message in Out for kivo send"},
    {"--send", "", "send the message now (a copy goes to Sent)"},
};
constexpr Option kUpdateOptions[] = {
    {"--download", "", "download a newer version (never installs it)"},
    {"--to", "PATH", "where the download goes: a folder or a file name (default: here)",
     TOptionValue::One},
    {"--readme", "", "print the read-me of a newer version"},
};
constexpr Option kQueueOrSend[] = {
    {"--queue", "", "put the message in Out for kivo send"},
    {"--send", "", "send the message now (a copy goes to Sent)"},
};
constexpr Option kReplyOptions[] = {
    {"--to", "TEXT",
     "more recipients: addresses or address-book names (may be repeated; forward and bounce "
     "need one)",
     TOptionValue::One},
    {"--cc", "TEXT", "copy recipients (may be repeated)", TOptionValue::One},
    {"--bcc", "TEXT", "blind copy recipients (may be repeated)", TOptionValue::One},
    {"--queue", "", "put the message in Out for kivo send"},
    {"--send", "", "send the message now (a copy goes to Sent)"},
};
constexpr Option kContactOptions[] = {
    {"--email", "TEXT", "the contact's addresses (several separated by commas)",
     TOptionValue::One},
    {"--nick", "TEXT", "a nickname, typed in place of the address", TOptionValue::One},
};
constexpr std::string_view kNumbers =
    "NUMBER is a message number as kivo ls lists it; several are given as 3-7, 1,4,9 or "
    "several arguments.";

constexpr Command kCommands[] = {
    {"init", "", "create the program's data folders as start-up does", InitCommand},
    {"mbx count", "FILE", "print the number of messages in a mailbox file", MbxCountCommand,
     {}, {}, false},
    {"mbx extract", "FILE N", "print message N of a mailbox file", MbxExtractCommand, {}, {},
     false},
    {"account list", "", "list the accounts; * marks the default account", AccountListCommand},
    {"account add", "NAME [OPTIONS]", "add an account", AccountAddCommand, kAccountAddOptions,
     "An account that would send its password over the network unencrypted (a POP3 or SMTP\n"
     "server without TLS, with a password) is saved only with --yes."},
    {"account set", "NAME KEY=VALUE...", "change keys of an account (see kivo help account set)",
     AccountSetCommand, kAccountSetOptions, kAccountSetKeys},
    {"account delete", "NAME", "delete an account (not the last one)", AccountDeleteCommand},
    {"account default", "[NAME]", "print or choose the default account", AccountDefaultCommand},
    {"mime dump", "FILE", "decode a raw message file and print the result as JSON",
     MimeDumpCommand, {}, {}, false},
    {"mime encode", "FILE", "decode a raw message file and print it encoded again",
     MimeEncodeCommand, {}, {}, false},
    {"ls", "MAILBOX [OPTIONS]",
     "list a mailbox's index: Number, Icon, Unread, HasAttachment, Date, From, Subject, Size, "
     "To, Priority (tab-separated; * marks tagged entries)", LsCommand, kLsOptions,
     "Control characters in the fields are shown as ^X, tabs and line ends as blanks.\n"
     "On a read-only program folder the index is used without being saved."},
    {"show", "MAILBOX NUMBER [OPTIONS]",
     "print a message as a reader wants it (HTML as text) and mark it read", ShowCommand,
     kShowOptions,
     "Without options: the header lines without the separator line, an empty line, the body;\n"
     "an HTML message's text without its tags. Text that is not UTF-8 (older mailboxes) is\n"
     "shown as Windows-1252; control characters are shown as ^X."},
    {"print", "MAILBOX NUMBER --text", "print the text of a message's printed page, its heading "
     "first", PrintCommand, kPrintOptions},
    {"delete", "MAILBOX NUMBER...", "delete messages (a copy goes to Trash)", DeleteCommand, {},
     kNumbers},
    {"move", "MAILBOX NUMBER... --to TARGET", "move messages to another mailbox", MoveCommand,
     kToOption, kNumbers},
    {"copy", "MAILBOX NUMBER... --to TARGET", "copy messages to another mailbox", CopyCommand,
     kToOption, kNumbers},
    {"compress", "MAILBOX", "remove deleted messages from the file, bring status lines up to date",
     CompressCommand},
    {"repair", "MAILBOX [--yes]", "set right what interrupted programs left in a mailbox (an "
     "unfinished message, temporary files, a stale deleted list) and build its index again; "
     "prints what it found and did, also messages cut short, deleted marks readers could "
     "disagree on and the messages that other mailboxes hold too, and offers to remove "
     "attachment files no message points to",
     RepairCommand, kRepairOptions},
    {"empty-trash", "", "empty the Trash mailbox", EmptyTrashCommand},
    {"mailbox tree", "", "print the mailbox tree as mboxdesc.ini holds it", MailboxTreeCommand},
    {"mailbox new", "NAME [--in FOLDER]", "create a mailbox", MailboxNewCommand, kInOption},
    {"mailbox mkdir", "NAME [--in FOLDER]", "create a folder of mailboxes", MailboxMkdirCommand,
     kInOption},
    {"mailbox rename", "PATH NEWNAME", "rename a mailbox or folder", MailboxRenameCommand},
    {"mailbox delete", "PATH [--yes] [--no-trash]", "delete a mailbox or folder; one holding "
     "messages only with --yes (nothing at all is deleted without it); the messages go to Trash "
     "unless --no-trash", MailboxDeleteCommand, kMailboxDeleteOptions},
    {"mailbox move", "PATH --onto NODEPATH", "move a mailbox or folder (into a folder, or beside "
     "a mailbox)", MailboxMoveCommand, kOntoOption},
    {"find", "TEXT [OPTIONS]",
     "copy the messages holding TEXT into a results mailbox; prints its name and the count",
     FindCommand, kFindOptions},
    {"check", "[--wait | --wait-up-to SECONDS]", "fetch the mail of every account marked for "
     "checking into In; the progress log goes to stderr, the exit status is 1 when an account "
     "failed; one check at a time runs on a program folder", CheckCommand,
     kTransferWaitOptions},
    {"send", "[--wait | --wait-up-to SECONDS]", "deliver the messages queued in Out through "
     "SMTP; copies go to Sent; the exit status is 1 when a message failed; one send at a time "
     "runs on a program folder",
     SendCommand, kTransferWaitOptions},
    {"run", "[/m ADDRESS]", "run as the program's one instance without windows: check mail on "
     "its timer; later starts (kivo /m ADDRESS) are told it has no window to open; ends on "
     "Ctrl-C or SIGTERM", RunCommand},
    {"script list", "", "list the scripts: name TAB the comment under its header line",
     ScriptListCommand},
    {"script run", "NAME MAILBOX NUMBER...", "run a script on messages of a mailbox as the Now "
     "button does; messages the script deletes go to the deleted list", ScriptRunCommand, {},
     kNumbers},
    {"script dry-run", "FILE", "run a script file without a message and print its variables "
     "(name TAB value)", ScriptDryRunCommand},
    {"script filters", "", "print the Incoming and Outgoing filter lists", ScriptFiltersCommand},
    {"script filters add", "LIST NAME", "put a script at the end of the filter list LIST, incoming "
     "or outgoing: it then runs on every message received or sent; prints the list",
     ScriptFiltersAddCommand},
    {"script filters remove", "LIST NAME", "take a script off the filter list LIST (incoming or "
     "outgoing); prints the list", ScriptFiltersRemoveCommand},
    {"script filters move", "LIST NAME POSITION", "move a script to a place in the filter list "
     "LIST, incoming or outgoing (1 is the first to run); prints the list", ScriptFiltersMoveCommand},
    {"script builtin", "", "write the built-in scripts into the script folder (overwriting "
     "them); prints their names", ScriptBuiltinCommand},
    {"compose", "[OPTIONS] (--queue | --send)",
     "write a message with the body from standard input; queue it in Out or send it now",
     ComposeCommand, kComposeOptions},
    {"mailto", "URL (--queue | --send)", "write the message a mailto: link describes",
     MailtoCommand, kQueueOrSend},
    {"reply", "MAILBOX NUMBER [--to TEXT]... (--queue | --send)",
     "reply to a message; standard input is typed above the quote", ReplyCommand, kReplyOptions},
    {"reply-all", "MAILBOX NUMBER [--to TEXT]... (--queue | --send)",
     "reply to the sender and every recipient but yourself", ReplyAllCommand, kReplyOptions},
    {"forward", "MAILBOX NUMBER [--to TEXT]... (--queue | --send)",
     "forward a message quoted, with its attached files; standard input is typed above the "
     "quote",
     ForwardCommand,
     kReplyOptions},
    {"bounce", "MAILBOX NUMBER [--to TEXT]... (--queue | --send)",
     "send a message on unchanged with its first sender as the sender (Resent fields name "
     "you)",
     BounceCommand,
     kReplyOptions},
    {"addressbook list", "", "list the address book: first name, last name, e-mail (tab-separated)",
     AddressbookListCommand},
    {"addressbook add", "FIRST [LAST] [--email TEXT] [--nick TEXT]",
     "add a contact, or merge it into the one that has its address already; the nickname, kept "
     "beside the names, stands for the contact's first address", AddressbookAddCommand,
     kContactOptions},
    {"addressbook add-sender", "MAILBOX NUMBER", "add a message's sender to the address book",
     AddressbookAddSenderCommand},
    {"addressbook resolve", "TEXT", "print the addresses a typed name stands for",
     AddressbookResolveCommand},
    {"addressbook import", "FILE.vcf", "add the contacts of a vCard file (3.0, 4.0 or 2.1), "
     "merging those the book has already; phones, organisations, notes and the like are kept "
     "and exported again",
     AddressbookImportCommand},
    {"addressbook export", "FILE.vcf", "write the address book as a vCard 3.0 file",
     AddressbookExportCommand},
    {"update-check", "[--download [--to PATH]] [--readme]",
     "ask the program's home page ([Program] HomeURL) whether a newer version exists",
     UpdateCheckCommand, kUpdateOptions},
};
// clang-format on
}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace kivo::cli
